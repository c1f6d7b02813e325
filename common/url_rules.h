// The string rules that turn an item's URL into what a transfer and the save file need. Pure and
// platform-free: no URL decoding, no scheme check, no port parsing (ports come from the settings).
#pragma once
#include <string>
#include <string_view>

// Referer modes: the values of HTTP.useReferer (radio button ids of the HTTP settings page).
enum RefererMode : unsigned {
    REFERER_NONE = 2060,        // send none
    REFERER_DIRECTORY = 2061,   // the URL cut after its last '/'
    REFERER_INDEX = 2062,       // the same followed by "index.html"
    REFERER_URL = 2063,         // the item's URL unchanged
    REFERER_FIXED = 2064,       // the text of HTTP.referer
};

struct SplitUrl {
    bool ok;           // the URL has a host and a path
    std::string host;  // taken whole, so "host:8080" or "user@host" stay as they are
    std::string path;  // from the '/' after the host to the end
};

SplitUrl splitUrl(std::string_view url);

// True when `text` holds a control character (below 0x20, or 0x7F): such a URL would put its
// bytes into our request lines.
bool hasControlCharacter(std::string_view text);

// The file name of a URL: the text after its last '/' (all of it without '/', empty after a final
// '/'), made safe to use as one Windows file name.
std::string saveNameOf(std::string_view url);

// What a list's subFolder setting appends to its save folder for `url` (see saveFolderFor): the
// URL's host and folders, each made a plain folder name.
std::string urlFolderPart(std::string_view url);

// `path` cut right after its last backslash that is not its final character (double-byte aware);
// without such a backslash only the first character is kept.
std::string folderOfPath(std::string_view path);

// The folder that holds `path`: everything up to and including its last backslash (double-byte
// aware), so a path that ends in a backslash names its own folder; empty without a backslash.
std::string containingFolder(std::string_view path);

// "Referer: %s\r\n" for the item URL in the given mode, or empty in mode REFERER_NONE.
std::string refererLine(unsigned mode, std::string_view itemUrl, std::string_view fixedReferer);

// Base64 of "user:password".
std::string basicCredentials(std::string_view user, std::string_view password);

// One name made safe for Windows: forbidden and control characters become '_', a name of dots
// and blanks only becomes underscores, device names (CON, NUL, COM1 ...) get a leading '_'.
std::string safeFileName(std::string_view name);
