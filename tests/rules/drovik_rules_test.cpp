#include "drovik/ftp_rules.h"
#include <gtest/gtest.h>

namespace {

TEST(DrovikRules, ThePlacementComesFromTheCommandLine) {
    struct Case {
        const char* line;
        int x, y;
    } cases[] = {{"120,80", 120, 80}, {"", 100, 100}, {"120", 120, 100}, {"0,0", 0, 0}, {",80", 100, 80},
                 {"120,", 120, 100}, {"x,y", 100, 100}, {" 64,900 ", 64, 900}, {"99999999999,5", 9999999, 5}};
    for (const Case& c : cases) {
        Placement p = placementOf(c.line);
        EXPECT_EQ(p.x, c.x) << c.line;
        EXPECT_EQ(p.y, c.y) << c.line;
    }
}

TEST(DrovikRules, ThePortFieldNamesAPortOrNone) {
    struct Case {
        const char* typed;
        int port;
    } cases[] = {{"21", 21}, {" 2121 ", 2121}, {"", 0}, {"65535", 65535}, {"0", 0}, {"65536", kNoPort},
                 {"70000", kNoPort}, {"9999999", kNoPort}, {"-1", kNoPort}, {"21x", kNoPort}, {"2 1", kNoPort}};
    for (const Case& c : cases) EXPECT_EQ(ftpPortOf(c.typed), c.port) << "\"" << c.typed << "\"";
}

TEST(DrovikRules, FolderUrlsAreSplitAndWalked) {
    EXPECT_EQ(folderUrlOf(" ftp://h/pub "), "ftp://h/pub/");
    EXPECT_EQ(folderUrlOf("ftp://h/"), "ftp://h/");
    EXPECT_EQ(folderUrlOf("ftp://h"), "ftp://h") << "no path: the listing refuses it";
    for (const char* notFtp : {"http://h/", "sftp://h/", "FTP://h/", "", "  "}) EXPECT_EQ(folderUrlOf(notFtp), "") << notFtp;

    EXPECT_EQ(parentFolderUrl("ftp://h/pub/sub/"), "ftp://h/pub/");
    EXPECT_EQ(parentFolderUrl("ftp://u:p@h:2121/pub/"), "ftp://u:p@h:2121/");
    EXPECT_EQ(parentFolderUrl("ftp://h/pub/"), "ftp://h/");
    EXPECT_EQ(parentFolderUrl("ftp://h/"), "ftp://h/") << "the root has no parent";
    EXPECT_EQ(childFolderUrl("ftp://h/pub/", "a b"), "ftp://h/pub/a b/");
}

// What the manager's paste takes from a copied URL is where the listing went: the URL's port, user
// and password before the fields', and the field's port in the copied URL when it is not 21.
TEST(DrovikRules, AUrlsPortAndUserComeBeforeTheFieldsAndTravelWithTheCopies) {
    struct Case {
        const char* url;
        int fieldPort;
        bool ok;
        const char* host;
        int port;
        const char* user;
        const char* password;
        const char* path;
        const char* copied;  // the base of copied URLs
    } cases[] = {
        {"ftp://h/pub/", 21, true, "h", 21, "anon", "mail", "/pub/", "ftp://h/pub/"},
        {"ftp://h/", 0, true, "h", 0, "anon", "mail", "/", "ftp://h/"},
        {"ftp://h/pub/", 2121, true, "h", 2121, "anon", "mail", "/pub/", "ftp://h:2121/pub/"},
        {"ftp://h:2121/", 21, true, "h", 2121, "anon", "mail", "/", "ftp://h:2121/"},
        {"ftp://h:2121/", kNoPort, true, "h", 2121, "anon", "mail", "/", "ftp://h:2121/"},
        {"ftp://h:21/a b/", 2121, true, "h", 21, "anon", "mail", "/a b/", "ftp://h:21/a b/"},
        {"ftp://h/", kNoPort, true, "h", kNoPort, "anon", "mail", "/", "ftp://h/"},
        {"ftp://u@h/", 21, true, "h", 21, "u", "", "/", "ftp://u@h/"},
        {"ftp://u:p@h:990/x/", 2121, true, "h", 990, "u", "p", "/x/", "ftp://u:p@h:990/x/"},
        {"ftp://q:p%40ss%3Aw%2Frd@h/", 2121, true, "h", 2121, "q", "p@ss:w/rd", "/", "ftp://q:p%40ss%3Aw%2Frd@h:2121/"},
        // The internet client takes an IPv6 host without its brackets; the copies keep them.
        {"ftp://[::1]:2121/pub/", 21, true, "::1", 2121, "anon", "mail", "/pub/", "ftp://[::1]:2121/pub/"},
        {"ftp://u:p@[::1]/", 2121, true, "::1", 2121, "u", "p", "/", "ftp://u:p@[::1]:2121/"},
        {"ftp://[::1/", 21, false, "", kNoPort, "", "", "", "ftp://[::1/"},
        {"ftp://h", 21, false, "", kNoPort, "", "", "", "ftp://h"},
        {"ftp:///pub/", 21, false, "", kNoPort, "", "", "", "ftp:///pub/"},
        {"ftp://h:65536/", 21, false, "", kNoPort, "", "", "", "ftp://h:65536/"},
    };
    for (const Case& c : cases) {
        FtpTarget t = ftpTargetOf(c.url, c.fieldPort, "anon", "mail");
        EXPECT_EQ(t.ok, c.ok) << c.url;
        EXPECT_EQ(t.host, c.host) << c.url;
        EXPECT_EQ(t.port, c.port) << c.url;
        EXPECT_EQ(t.user, c.user) << c.url;
        EXPECT_EQ(t.password, c.password) << c.url;
        EXPECT_EQ(t.path, c.path) << c.url;
        EXPECT_EQ(copiedFolderUrl(c.url, c.fieldPort), c.copied) << c.url;
    }
}

TEST(DrovikRules, NamesThatWouldMakeAnotherUrlOrLineAreRefused) {
    for (const char* fits : {"a.bin", "with space.bin", "a:b.bin", "..", "表ソ.txt", "100%.bin", "a\\b"})
        EXPECT_TRUE(nameFitsUrl(fits)) << fits;
    for (const char* refused : {"a/b.bin", "x http://evil/f", "/", "a#b.bin", "a\tb", "a\r\nftp:\\evil", "del\x7f", "nul\x01"})
        EXPECT_FALSE(nameFitsUrl(refused)) << refused;
}

}  // namespace
