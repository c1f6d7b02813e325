// Drovik listing a folder of 10 000 entries from the real FTP test server: the time
// from the start press until the last row is in, and how fast the dialog answers a message (a
// WM_NULL round trip) while the rows come in.
#include "bench/clock.h"
#include "tests/e2e/quovar_driver.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/unit/temp_folder.h"
#include <algorithm>
#include <commctrl.h>
#include <cstdio>
#include <vector>

namespace {

constexpr int kEntries = 10000;
constexpr int kRuns = 3;

int rowCount(HWND rows) { return static_cast<int>(SendMessageA(rows, LVM_GETITEMCOUNT, 0, 0)); }

}  // namespace

int main() {
    std::printf("| run | entries | ms until every row is in | WM_NULL median (ms) | WM_NULL p99 (ms) | samples |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|\n");
    for (int run = 1; run <= kRuns; ++run) {
        TempFolder temp;
        std::string exe = temp.path() + "Drovik.exe";
        CopyFileA(toolUnderTest().c_str(), exe.c_str(), FALSE);
        std::string ini = temp.path() + "Drovik.ini";
        WritePrivateProfileStringA("FTP", "port", std::to_string(testServers().realFtp).c_str(), ini.c_str());
        DrivenProcess tool;
        HWND dialog = tool.start(exe, "", temp.path()) ? tool.findDialog("ＦＴＰファイル一覧の取得", 10000) : nullptr;
        if (!dialog) {
            std::printf("Drovik did not start\n");
            return 1;
        }
        HWND rows = dialogControl(dialog, 2070);
        setControlText(dialogControl(dialog, 2010), "ftp://127.0.0.1/many/");
        std::vector<double> answers;
        double start = millisecondsNow();
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        while (rowCount(rows) < kEntries + 1 /* ".." */ && millisecondsNow() - start < 120000) {
            double before = millisecondsNow();
            DWORD_PTR result = 0;
            SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
            answers.push_back(millisecondsNow() - before);
            Sleep(20);
        }
        double filled = millisecondsNow() - start;
        std::printf("| %d | %d | %.0f | %.2f | %.2f | %zu |\n", run, rowCount(rows) - 1, filled,
                    answers.empty() ? 0.0 : percentile(answers, 0.5), answers.empty() ? 0.0 : percentile(answers, 0.99),
                    answers.size());
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        tool.waitForEnd(20000);
    }
    return 0;
}
