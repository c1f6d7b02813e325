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

    FtpTarget t = splitFtpUrl("ftp://h:21/pub/a b/");
    EXPECT_TRUE(t.ok);
    EXPECT_EQ(t.host, "h:21");
    EXPECT_EQ(t.path, "/pub/a b/");
    EXPECT_EQ(splitFtpUrl("ftp://h/").path, "/");
    EXPECT_FALSE(splitFtpUrl("ftp://h").ok) << "no '/' after the host";
    EXPECT_FALSE(splitFtpUrl("ftp:///pub/").ok) << "no host";

    EXPECT_EQ(parentFolderUrl("ftp://h/pub/sub/"), "ftp://h/pub/");
    EXPECT_EQ(parentFolderUrl("ftp://h/pub/"), "ftp://h/");
    EXPECT_EQ(parentFolderUrl("ftp://h/"), "ftp://h/") << "the root has no parent";
    EXPECT_EQ(childFolderUrl("ftp://h/pub/", "a b"), "ftp://h/pub/a b/");
}

}  // namespace
