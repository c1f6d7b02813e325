#include "engine/ftp_reply.h"
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

// A copy of `text` in a buffer exactly as long as it (no terminator), so that a read past the line
// is caught by the sanitizers of the native build.
struct ExactLine {
    explicit ExactLine(const std::string& text) : bytes(new char[text.size() ? text.size() : 1]), size(text.size()) {
        std::memcpy(bytes.get(), text.data(), text.size());
    }
    std::string_view view() const { return {bytes.get(), size}; }
    std::unique_ptr<char[]> bytes;
    size_t size;
};

PassiveAddress passive(const std::string& text) { return passiveAddress(ExactLine(text).view()); }
ReplyNumber restart(const std::string& text) { return restartPosition(ExactLine(text).view()); }
ReplyNumber size(const std::string& text) { return announcedSize(ExactLine(text).view()); }

// Feeds `lines` to one reply; the number of lines it took to complete, or 0 when it never did.
size_t linesTaken(std::initializer_list<const char*> lines, int& code) {
    ReplyLines reply;
    size_t n = 0;
    for (const char* line : lines) {
        ++n;
        if (reply.take(ExactLine(line).view())) {
            code = reply.code;
            return n;
        }
    }
    code = reply.code;
    return 0;
}

TEST(FtpReply, CodeIsTheValueOfTheFirstThreeCharacters) {
    EXPECT_EQ(replyCode("220 Ready."), 220);
    EXPECT_EQ(replyCode("2201"), 220);
    EXPECT_EQ(replyCode("35"), 35);
    EXPECT_EQ(replyCode(""), 0);
    EXPECT_EQ(replyCode("abc 220"), 0);
}

TEST(FtpReply, MultiLineReplyEndsAtTheSameCodeFollowedByABlank) {
    int code = 0;
    EXPECT_EQ(linesTaken({"220 Ready."}, code), 1u);
    EXPECT_EQ(code, 220);
    EXPECT_EQ(linesTaken({"220-Welcome", "221 another code", "220-still", "220", "220x", "220 end", "x"}, code), 6u);
    EXPECT_EQ(code, 220);
    // A short first line is a whole reply; the code of the first line is the one that counts.
    EXPECT_EQ(linesTaken({"22"}, code), 1u);
    EXPECT_EQ(linesTaken({"150-Opening", " (12 bytes)", "150 ok"}, code), 3u);
    EXPECT_EQ(code, 150);
    EXPECT_EQ(linesTaken({"230-", "230-"}, code), 0u);
}

TEST(FtpReply, PassiveAddressFromTheParentheses) {
    PassiveAddress p = passive("227 Entering Passive Mode (10,1,2,3,19,137).");
    ASSERT_TRUE(p.readable);
    EXPECT_EQ(p.address[0], 10);
    EXPECT_EQ(p.address[1], 1);
    EXPECT_EQ(p.address[2], 2);
    EXPECT_EQ(p.address[3], 3);
    EXPECT_EQ(p.port, 19 * 256 + 137);
    p = passive("227 =( 127, 0, 0, 1, 255 ,255 )");
    ASSERT_TRUE(p.readable);
    EXPECT_EQ(p.port, 65535);
    EXPECT_EQ(passive("227 (0,0,0,0,0,0)").port, 0);
}

TEST(FtpReply, PassiveAddressUnreadable) {
    for (const char* bad : {
             "227 Entering Passive Mode 127,0,0,1,19,137",   // no parenthesis
             "227 Entering Passive Mode (127,0,0,1,19,137",  // no closing one
             "(127,0,0,1,19,137)",                           // the '(' lies before position 4
             "227 (127,0,0,1,19)", "227 (127,0,0,1,19,137,5)", "227 ()", "227 (", "227 ", "227",
             "227 (127,0,0,1,,137)", "227 (127,0,0,1,19,)", "227 (127,0,0,1,1 9,137)", "227 (a,b,c,d,e,f)",
             "227 (127,0,0,256,19,137)",                       // address byte out of range
             "227 (127,0,0,1,256,1)", "227 (127,0,0,1,1,1000)",  // port byte out of range
             "227 (127,0,0,1,99999999999999999999999,1)",      // would overflow
             "227 (-1,0,0,1,19,137)", "227 (255,255,255,255,19,137)"})
        EXPECT_FALSE(passive(bad).readable) << bad;
}

TEST(FtpReply, ExtendedPassivePortBetweenItsDelimiters) {
    auto port = [](const std::string& text) { return extendedPassivePort(ExactLine(text).view()); };
    EXPECT_EQ(port("229 Entering Extended Passive Mode (|||6446|)"), 6446);
    EXPECT_EQ(port("229 (!!!65535!)."), 65535);
    for (const char* bad : {"229 (|||65536|)", "229 (|||644a|)", "229 (||6446|)", "229 (|||6446)", "229 (|||6446|",
                            "229 (|||644666|)", "229 (|||6446!)", "229 (1111)", "229 (|||)|)", "229 |||6446|", "(|||6446|)"})
        EXPECT_EQ(port(bad), 0) << bad;
}

TEST(FtpReply, RestartPositionIsTheFirstNumberAfterTheCode) {
    ReplyNumber n = restart("350 Restarting at 1000. Send STORE or RETRIEVE.");
    EXPECT_TRUE(n.found);
    EXPECT_EQ(n.value, 1000u);
    EXPECT_EQ(restart("350 Restart position accepted (4294967295).").value, 4294967295u);
    EXPECT_EQ(restart("3505").found, false);  // the code's own digits do not count
    EXPECT_FALSE(restart("350 Restarting.").found);
    EXPECT_FALSE(restart("350").found);
    EXPECT_EQ(restart("350 at 123456789012345678901234567890").value, uint64_t{1} << 62);
}

TEST(FtpReply, AnnouncedSizeIsTheNumberInParenthesesBeforeABlank) {
    ReplyNumber s = size("150 Opening BINARY mode data connection for big.bin (3145851 bytes).");
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.value, 3145851u);
    EXPECT_EQ(size("150 Opening for a(1).bin (2000 bytes).").value, 2000u);  // a '(' in the name is passed over
    EXPECT_EQ(size("150 (0 bytes)").value, 0u);
    EXPECT_TRUE(size("150 (0 bytes)").found);
    EXPECT_EQ(size("150 (99999999999999999999999 bytes)").value, uint64_t{1} << 62);
    for (const char* none : {"150 Opening BINARY mode data connection for big.bin.", "150 (3145851)", "150 (3145851",
                             "150 ( 12 bytes)", "150 (12x bytes)", "150 (-12 bytes)", "(12 bytes)", "150 (", ""})
        EXPECT_FALSE(size(none).found) << none;
}

TEST(FtpReply, SizeReplyIs213AndDigitsOnly) {
    auto sized = [](const std::string& text) { return sizeReplyValue(ExactLine(text).view()); };
    EXPECT_EQ(sized("213 5000").value, 5000u);
    EXPECT_TRUE(sized("213 0").found);
    EXPECT_EQ(sized("213 5000 ").value, 5000u);
    EXPECT_EQ(sized("213 99999999999999999999999").value, uint64_t{1} << 62);
    for (const char* none : {"550 Could not get file size.", "502 SIZE not implemented.", "213-5000", "2135000",
                             "213 ", "213", "213 50x0", "213 -5", "213  5000", "213 File status: 5000", ""})
        EXPECT_FALSE(sized(none).found) << none;
    EXPECT_EQ(sizeLine("/pub/dir/file.zip"), "SIZE file.zip\r\n");
}

TEST(FtpReply, ReplyCodesByStep) {
    EXPECT_EQ(judgeReply(FtpStep::Greeting, 120), Verdict::ReadNext);
    EXPECT_EQ(judgeReply(FtpStep::Greeting, 421), Verdict::Retry);
    EXPECT_EQ(judgeReply(FtpStep::User, 230), Verdict::GoOn);
    EXPECT_EQ(judgeReply(FtpStep::User, 502), Verdict::Unexpected);  // 502 is a retry only after PASS
    EXPECT_EQ(judgeReply(FtpStep::Password, 502), Verdict::Retry);
    EXPECT_EQ(judgeReply(FtpStep::ChangeDir, 550), Verdict::Refused);
    EXPECT_EQ(judgeReply(FtpStep::Type, 504), Verdict::Refused);
    EXPECT_EQ(judgeReply(FtpStep::ExtendedPassive, 229), Verdict::GoOn);
    EXPECT_EQ(judgeReply(FtpStep::ExtendedPassive, 522), Verdict::Refused);  // on to PASV
    EXPECT_EQ(judgeReply(FtpStep::ExtendedPassive, 227), Verdict::Unexpected);
    EXPECT_EQ(judgeReply(FtpStep::Restart, 502), Verdict::Refused);
    EXPECT_EQ(judgeReply(FtpStep::Retrieve, 226), Verdict::Refused);
    EXPECT_EQ(judgeReply(FtpStep::Retrieve, 125), Verdict::GoOn);
    EXPECT_EQ(judgeReply(FtpStep::EndOfData, 250), Verdict::Refused);
    EXPECT_EQ(judgeReply(FtpStep::Logout, 226), Verdict::GoOn);
    EXPECT_EQ(judgeReply(FtpStep::Logout, 421), Verdict::Unexpected);
    EXPECT_EQ(refusalStage(FtpStep::Restart), STAGE_TRANSFER_TYPE);
    EXPECT_EQ(refusalStage(FtpStep::Retrieve), STAGE_TRANSFER_TYPE);
    EXPECT_EQ(refusalStage(FtpStep::EndOfData), STAGE_END_REPLY);
}

TEST(FtpReply, CommandTexts) {
    EXPECT_STREQ(typeCommand(2060), "TYPE I\r\n");
    EXPECT_STREQ(typeCommand(2061), "TYPE A\r\n");
    EXPECT_STREQ(typeCommand(2062), "TYPE E\r\n");
    EXPECT_STREQ(typeCommand(0), "TYPE I\r\n");
    EXPECT_EQ(changeDirLine("/pub/dir/file.zip"), "CWD /pub/dir/\r\n");
    EXPECT_EQ(changeDirLine("/pub/"), "CWD /pub/\r\n");
    EXPECT_EQ(changeDirLine("/file.zip"), "");
    EXPECT_EQ(changeDirLine("/"), "");
    EXPECT_EQ(changeDirLine(""), "");
}

}  // namespace
