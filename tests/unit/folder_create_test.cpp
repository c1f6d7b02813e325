#include "common/folder_create.h"
#include "tests/unit/temp_folder.h"
#include <gtest/gtest.h>
#include <windows.h>

namespace {

std::string currentDirectory() {
    char dir[MAX_PATH];
    GetCurrentDirectoryA(sizeof dir, dir);
    return dir;
}

TEST(FolderCreate, CreatesEveryMissingLevelAndLeavesCurrentDirectory) {
    TempFolder temp;
    std::string before = currentDirectory();
    std::string target = temp.path() + "a\\b\\c\\";
    EXPECT_EQ(createFolderPath(target.c_str()), 1);
    EXPECT_TRUE(folderExists(temp.path() + "a\\b\\c"));
    EXPECT_EQ(currentDirectory(), before);
    EXPECT_EQ(createFolderPath(target.c_str()), 1) << "an existing folder counts as success";
    EXPECT_EQ(createFolderPath((temp.path() + "x\\y").c_str()), 1) << "no trailing backslash";
    EXPECT_TRUE(folderExists(temp.path() + "x\\y"));
}

TEST(FolderCreate, ADriveRootExistsAndIsNeverCreated) {
    EXPECT_EQ(createFolderPath("C:\\"), 1);
}

TEST(FolderCreate, FailsForMissingDriveOrSingleLevel) {
    EXPECT_EQ(createFolderPath("Q:\\nowhere\\a\\"), 0);
    EXPECT_EQ(createFolderPath("relative\\"), 0);
    EXPECT_EQ(createFolderPath(""), 0);
}

TEST(FolderCreate, FailsWhenAFileBlocksTheWay) {
    TempFolder temp;
    writeFile(temp.path() + "file", "x");
    EXPECT_EQ(createFolderPath((temp.path() + "file\\sub\\").c_str()), 0);
    EXPECT_EQ(createFolderPath((temp.path() + "file\\").c_str()), 0) << "a file where the folder should be";
    EXPECT_EQ(createFolderPath((temp.path() + "file").c_str()), 0);
}

TEST(FolderCreate, TrailByteBackslashIsPartOfTheName) {
    TempFolder temp;
    // "ソ表" ends in the bytes 5C: one folder level, not three.
    std::string target = temp.path() + "ソ表\\d\\";
    EXPECT_EQ(createFolderPath(target.c_str()), 1);
    EXPECT_TRUE(folderExists(temp.path() + "ソ表\\d"));
}

}  // namespace
