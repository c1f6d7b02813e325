// Finding the URLs in text pasted from the clipboard. Platform-free: the Win32 side reads the
// clipboard, hands the text here and creates one item per URL returned, in the order returned.
//
// Every "http://" and "https://" URL is taken first, in text order, then every "ftp://" URL, also in
// text order.
// The scheme is found without regard to case, but the URL keeps the case it was written in. A URL
// runs from its scheme to the end of its line (CR, LF or the end of the text), so words after it on
// the same line belong to it and at most one URL of each pass is taken from one line.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// A download list takes no more items than this from the clipboard or an expansion, and tells the
// user so in these words.
constexpr int kMaxListItems = 1024;
constexpr char kListFullText[] = "最大アイテム数に達しました";

// True when `text` begins with "http://", "https://" or "ftp://", in any case: the URLs the program
// fetches.
// A URL typed by hand that does not is refused in these words.
bool startsWithUrlScheme(std::string_view text);
constexpr char kNoUrlSchemeText[] = "ＵＲＬは http:// か https:// か ftp:// で始めてください";

// What the user is told of URLs longer than kMaxUrlLength: one typed into an item dialog, or
// `count` of them left out of a paste.
std::string urlTooLongText();
std::string urlsTooLongText(int count);

struct PasteScan {
    std::vector<std::string_view> urls;  // views into the scanned text, to become items in this order
    bool limitReached;                   // the list is (or becomes) full: tell the user once, after the items
    int refused;                         // URL lines longer than kMaxUrlLength, left out
};

// Scans `text` for a list that already shows `rowCount` rows. The limit is checked before every
// search, so a full list reports it even when the text holds no URL at all.
//
// A URL line longer than kMaxUrlLength is left out and counted, whole lines only: a cut URL would
// fetch another resource, or be refused by a server that signed the whole of it. The scan goes on
// after the line.
PasteScan scanPastedText(std::string_view text, int rowCount);
