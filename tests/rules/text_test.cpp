#include "common/cp932.h"
#include "common/numbers.h"
#include "common/program_paths.h"
#include "common/text.h"
#include <gtest/gtest.h>

namespace {

TEST(Numbers, ReadsLikeAtoi) {
    EXPECT_EQ(readInt("42"), 42);
    EXPECT_EQ(readInt("  -7x"), -7);
    EXPECT_EQ(readInt("+3"), 3);
    EXPECT_EQ(readInt("\t\n12"), 12);
    EXPECT_EQ(readInt(""), 0);
    EXPECT_EQ(readInt("abc"), 0);
    EXPECT_EQ(readInt("- 5"), 0);
    EXPECT_EQ(readInt("10"), 10);
}

TEST(Numbers, HugeValuesHeldAtTheRangeEnds) {
    EXPECT_EQ(readInt("2147483647"), 2147483647);
    EXPECT_EQ(readInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(readInt("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(readInt("-99999999999999999999"), INT32_MIN);
}

TEST(Numbers, SizesOfAnyWidthAndTheNegativeOnesOfEarlierFiles) {
    const struct {
        const char* text;
        uint64_t size;
    } rows[] = {
        {"0", 0},
        {" 1000", 1000},
        {"2147483648", 2147483648u},              // written by this version past 2 GiB
        {"4294967297", 4294967297u},
        {"1099511627781", 1099511627781u},
        {"-1294967296", 3000000000u},             // earlier versions' "%d" of 3000000000
        {"-1", 0xFFFFFFFFu},
        {"-99999999999999999999", 0x80000000u},   // as an earlier version read it: INT32_MIN
        {"+12x", 12},
        {"", 0},
        {"abc", 0},
        {"4611686018427387903", kHeldSize - 1},
        {"4611686018427387904", kHeldSize},
        {"99999999999999999999", kHeldSize},
    };
    for (const auto& row : rows) EXPECT_EQ(readSize(row.text), row.size) << row.text;
}

TEST(Text, CopyCutsAtArraySizeAndTerminates) {
    char small[4];
    EXPECT_EQ(copyText(small, "abcdef"), 3u);
    EXPECT_STREQ(small, "abc");
    char exact[7];
    copyText(exact, "abcdef");
    EXPECT_STREQ(exact, "abcdef");
}

TEST(Text, CopyNeverSplitsADoubleByteCharacter) {
    char buf[4];
    copyText(buf, "aソ表");  // 'a' 83 5C 95 5C: only "aソ" fits in 3 bytes
    EXPECT_STREQ(buf, "aソ");
    char two[3];
    copyText(two, "aソ");
    EXPECT_STREQ(two, "a");
}

TEST(Text, AppendKeepsWhatIsThereAndCuts) {
    char buf[8] = "abc";
    EXPECT_EQ(appendText(buf, "defghij"), 7u);
    EXPECT_STREQ(buf, "abcdefg");
    EXPECT_EQ(appendText(buf, "x"), 7u);
    EXPECT_STREQ(buf, "abcdefg");
}

TEST(Text, CopyOfAnEmptyViewWithoutData) {
    // A default view carries no pointer at all; copying it must still just empty the array.
    char buf[4] = "xyz";
    EXPECT_EQ(copyText(buf, std::string_view{}), 0u);
    EXPECT_STREQ(buf, "");
    char more[4] = "ab";
    EXPECT_EQ(appendText(more, std::string_view{}), 2u);
    EXPECT_STREQ(more, "ab");
}

TEST(Text, TextOfStopsAtArrayEndWithoutTerminator) {
    char raw[3] = {'a', 'b', 'c'};
    EXPECT_EQ(textOf(raw), "abc");
}

TEST(Cp932, StepsOverPairs) {
    std::string_view s = "\x83\x5C\\x";
    EXPECT_EQ(charLength(s, 0), 2u);
    EXPECT_EQ(findLastChar(s, '\\'), 2u);
    EXPECT_EQ(findLastChar("ソ", '\\'), std::string_view::npos);
    // A lead byte followed by a byte that is no trail byte is a character of its own.
    EXPECT_EQ(charLength("\x83\x20", 0), 1u);
    EXPECT_EQ(charLength("\x83", 0), 1u);
}

TEST(ProgramPaths, FormedFromExecutablePath) {
    ProgramPaths p{};
    formProgramPaths(p, "C:\\Program Files\\Quovar\\quovar.exe");
    EXPECT_STREQ(p.programFolder, "C:\\Program Files\\Quovar\\");
    EXPECT_STREQ(p.settingsPath, "C:\\Program Files\\Quovar\\quovar.ini");
    EXPECT_STREQ(p.settingsFolder, "C:\\Program Files\\Quovar\\setting\\");
    EXPECT_STREQ(p.downloadFolder, "C:\\Program Files\\Quovar\\download\\");
    EXPECT_STREQ(p.linkPagePath, "C:\\Program Files\\Quovar\\EnumLinks.html");
}

TEST(ProgramPaths, BareNameHasNoFolder) {
    ProgramPaths p{};
    formProgramPaths(p, "quovar.exe");
    EXPECT_STREQ(p.programFolder, "");
    EXPECT_STREQ(p.settingsPath, "quovar.ini");
    EXPECT_STREQ(p.downloadFolder, "download\\");
}

TEST(ProgramPaths, DotInFolderNameIsNotTheExtension) {
    ProgramPaths p{};
    formProgramPaths(p, "C:\\a.b\\表\\quovar");
    EXPECT_STREQ(p.programFolder, "C:\\a.b\\表\\");
    EXPECT_STREQ(p.settingsPath, "C:\\a.b\\表\\quovar.ini");
}

}  // namespace
