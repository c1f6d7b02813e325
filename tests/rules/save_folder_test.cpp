#include "common/save_folder.h"
#include <gtest/gtest.h>

namespace {

constexpr std::string_view kProgram = "C:\\Quovar\\";

TEST(SaveFolder, TypedFoldersBecomeAbsoluteFoldersWithTheirBackslash) {
    struct Case {
        std::string_view typed, stored;
    } cases[] = {
        {"", ""},
        {"   ", ""},
        {"C:\\data", "C:\\data\\"},
        {"C:\\data\\", "C:\\data\\"},
        {" D:/dl/music ", "D:\\dl\\music\\"},
        {"\\\\server\\share", "\\\\server\\share\\"},
        {"C:", "C:\\"},
        {"C:data", "C:\\data\\"},
        {"music", "C:\\Quovar\\music\\"},
        {"dl\\music", "C:\\Quovar\\dl\\music\\"},
        {"\\dl", "C:\\dl\\"},
        // "表" is 0x95 0x5C: its trail byte is a backslash's code, yet the folder still gets one.
        {"C:\\\x95\x5C", "C:\\\x95\x5C\\"},
        {"C:\\\x95\x5C\\", "C:\\\x95\x5C\\"},
        // A lead byte left without its trail byte would swallow the backslash.
        {"C:\\data\x81", "C:\\data\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(normalSaveFolder(c.typed, kProgram), c.stored) << c.typed;
}

TEST(SaveFolder, AnOverlongFolderIsCutOnACharacterEdgeToKeepItsBackslash) {
    std::string exact = "C:\\" + std::string(255, 'a') + "\\";  // 259 bytes, already a folder
    EXPECT_EQ(normalSaveFolder(exact, kProgram), exact);

    std::string longer = "C:\\" + std::string(300, 'a');
    EXPECT_EQ(normalSaveFolder(longer, kProgram), "C:\\" + std::string(255, 'a') + "\\");

    // A double-byte character across byte 258 is dropped whole, not split.
    std::string wide = "C:\\" + std::string(254, 'a') + "\x95\x5C" + "bbb";
    EXPECT_EQ(normalSaveFolder(wide, kProgram), "C:\\" + std::string(254, 'a') + "\\");
}

}  // namespace
