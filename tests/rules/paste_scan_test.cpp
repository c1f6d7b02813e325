#include "intake/paste_scan.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Urls = std::vector<std::string>;

Urls urlsIn(const PasteScan& scan) { return {scan.urls.begin(), scan.urls.end()}; }

TEST(PasteScan, FindsHttpUrlsFirstThenFtpUrlsToTheirLineEnds) {
    struct Case {
        std::string text;
        Urls urls;
    } cases[] = {
        {"some words http://a.example/x.zip trailing\r\n\r\nFTP://Files.Example/Up.BIN\r\nhttp://b.example/y.zip",
         {"http://a.example/x.zip trailing", "http://b.example/y.zip", "FTP://Files.Example/Up.BIN"}},
        {"HtTp://a\rhttp://b\nfTp://c\r\n\r\n\nhttp://d\n", {"HtTp://a", "http://b", "http://d", "fTp://c"}},
        // One URL of each scheme per line: the HTTP one takes the rest of the line.
        {"see http://a/1 http://a/2 ftp://f/3 tail", {"http://a/1 http://a/2 ftp://f/3 tail", "ftp://f/3 tail"}},
        {"http://\r\nftp://", {"http://", "ftp://"}},
        // What the listing tool copies.
        {"ftp://127.0.0.1/pub/a.bin\r\nftp://127.0.0.1/pub/b.bin\r\n", {"ftp://127.0.0.1/pub/a.bin", "ftp://127.0.0.1/pub/b.bin"}},
        {"", {}},
        {"words only, http:/ ftp:/ https:/ httpx://a", {}},
        // https belongs to the http pass: both keep the order of the text, before every ftp URL.
        {"ftp://f/1\r\nhttps://s/2\r\nhttp://p/3\r\nHTTPS://S/4 http://same-line\r\n",
         {"https://s/2", "http://p/3", "HTTPS://S/4 http://same-line", "ftp://f/1"}},
        // "ド" is 83 68: its second byte is no 'h'. Japanese text just before a URL hides nothing.
        {"ドttp://x/", {}},
        {"リンクhttp://x/ソ表.zip", {"http://x/ソ表.zip"}},
    };
    for (const Case& c : cases) {
        PasteScan scan = scanPastedText(c.text, 0);
        EXPECT_EQ(urlsIn(scan), c.urls) << c.text;
        EXPECT_FALSE(scan.limitReached) << c.text;
    }
}

TEST(PasteScan, StopsAtTheListLimitAndSaysSoEvenWithoutUrls) {
    std::string many;
    for (int i = 0; i < kMaxListItems; ++i) many += "http://h/" + std::to_string(i) + "\r\n";
    struct Case {
        int rows;
        std::string text;
        Urls urls;
        bool limitReached;
    } cases[] = {
        {1023, "http://a/1\r\nhttp://a/2\r\nftp://a/3\r\n", {"http://a/1"}, true},
        {1023, "http://a/1", {"http://a/1"}, true},  // filled by the last URL of the text
        {1021, "ftp://f/0\r\nhttp://h/0\r\nftp://f/1\r\nhttp://h/1\r\n", {"http://h/0", "http://h/1", "ftp://f/0"}, true},
        {1022, "http://h/0\r\nftp://f/0\r\n", {"http://h/0", "ftp://f/0"}, true},
        {1020, "http://h/0\r\nftp://f/0\r\n", {"http://h/0", "ftp://f/0"}, false},
        {1024, "no urls", {}, true},
        {1100, "", {}, true},
    };
    for (const Case& c : cases) {
        PasteScan scan = scanPastedText(c.text, c.rows);
        EXPECT_EQ(urlsIn(scan), c.urls) << c.rows << " " << c.text;
        EXPECT_EQ(scan.limitReached, c.limitReached) << c.rows << " " << c.text;
    }
    PasteScan full = scanPastedText(many, 0);
    EXPECT_EQ(full.urls.size(), static_cast<size_t>(kMaxListItems));
    EXPECT_EQ(full.urls.back(), "http://h/1023");
}

// Signed links run to thousands of characters and their servers refuse any cut form: a URL is kept
// whole up to 8,192 characters, and a longer line is left out and counted, never cut. The next line
// is read as usual.
TEST(PasteScan, LongUrlsAreKeptWholeAndOverlongOnesRefused) {
    for (size_t length : {2000, 8192, 8193}) {
        std::string url = "http://h/" + std::string(length - 9, 'a');
        std::string text = url + "\r\nftp://next/";
        PasteScan scan = scanPastedText(text, 0);
        EXPECT_EQ(urlsIn(scan), (length <= 8192 ? Urls{url, "ftp://next/"} : Urls{"ftp://next/"})) << length;
        EXPECT_EQ(scan.refused, length <= 8192 ? 0 : 1) << length;
    }
}

}  // namespace
