#include "tests/e2e/resume_run.h"
#include "tests/unit/temp_folder.h"
#include <cstdio>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

std::string allOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Ten files, half over FTP, each cut off 1 to 5 times by the server; one item at a time is stopped
// and started again, failed ones are started again, and once half of them are through the program is killed and started anew.
TEST(ResumeIntegrity, DropsStopsAndACrashLeaveEveryFileIdentical) {
    TempFolder temp;
    std::string folder = temp.path() + "Quovar\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    ResumeRun run;
    ResumeResult result = runResumeIntegrity(folder, run);
    std::printf("%d connections, %d stops, %d restarts, %d kill\n", result.connections, result.stops, result.restarts,
                result.kills);
    EXPECT_EQ(result.identical, run.downloads) << allOf(result.problems);
    EXPECT_EQ(result.finished + result.refusedComplete, run.downloads) << "every row ends finished or complete";
    EXPECT_EQ(result.kills, 1);
    EXPECT_GE(result.connections, 2 * run.downloads) << "every file was cut off at least once";
}

}  // namespace
