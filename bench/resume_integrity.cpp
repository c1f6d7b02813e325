// The resume integrity run at full size: 100 files over HTTP and FTP, each cut off 1 to 5 times by
// the server, with items stopped and started and the program killed twice along the way.
#include "tests/e2e/resume_run.h"
#include "tests/unit/temp_folder.h"
#include <cstdio>
#include <windows.h>

int main() {
    TempFolder temp;
    std::string folder = temp.path() + "Quovar\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    ResumeRun run;
    run.downloads = 100;
    run.kills = 2;
    run.largest = 1000000;
    run.seed = GetTickCount();
    run.limitSeconds = 900;
    ResumeResult result = runResumeIntegrity(folder, run);
    for (const std::string& problem : result.problems) std::printf("problem: %s\n", problem.c_str());
    std::printf("| files | identical | finished | complete, resume refused (416) | connections | stops | restarts | kills | seconds | seed |\n"
                "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    std::printf("| %d | %d | %d | %d | %d | %d | %d | %d | %.0f | %u |\n", run.downloads, result.identical,
                result.finished, result.refusedComplete, result.connections, result.stops, result.restarts, result.kills, result.seconds, run.seed);
    std::printf("\n%d/%d identical\n", result.identical, run.downloads);
    return result.identical == run.downloads ? 0 : 1;
}
