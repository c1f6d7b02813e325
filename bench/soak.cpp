// Soak: the real program with 5 lists of 10 simultaneous transfers each (50 in all) from nginx,
// driven for minutes by random commands: start, stop, delete, move, tab switch, paste, save all.
// Checked throughout: the window answers within 100 ms and the process lives. Checked at the end:
// every finished file equals its source, and each list still starts as many transfers as it may
// (its count of running transfers came back to zero).
// bench/run soak [SECONDS] (default 180).
#include "bench/clock.h"
#include "tests/e2e/quovar_driver.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/unit/temp_folder.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr int kLists = 5;
constexpr int kRunning = 10;         // maxDownloadNum of every list
constexpr int kFirstItems = 16;      // items each list starts with
constexpr int kFilesPerList = 64;    // files nginx has for each list (pastes take the later ones)
constexpr int kIdle = 0;
constexpr int kQueued = 1;
constexpr int kDownloading = 2;
constexpr int kFinished = 3;
constexpr int kFailed = 4;

std::string fileName(int list, int file) {
    char name[32];
    wsprintfA(name, "s%d-%02d.bin", list, file);
    return name;
}

std::string urlOf(int list, int file) { return "http://127.0.0.1/soak/" + fileName(list, file); }

std::string saveFolder(const std::string& folder, int list) {
    return folder + "download\\L" + std::to_string(list) + "\\";
}

// Files of 0.5 to 2 MiB for nginx, and five lists of the program that fetch them into folders of
// their own.
void prepare(const std::string& folder, std::mt19937& random) {
    std::string source = contentBytes(0, 2u << 20);
    std::string served = testServers().root + "\\soak\\";
    CreateDirectoryA(served.c_str(), nullptr);
    for (int list = 0; list < kLists; ++list)
        for (int file = 0; file < kFilesPerList; ++file)
            writeFile(served + fileName(list, file), source.substr(0, (512u << 10) + random() % (1536u << 10)));
    CreateDirectoryA((folder + "setting").c_str(), nullptr);
    for (int list = 0; list < kLists; ++list) {
        std::string name = "soak" + std::to_string(list);
        writeFile(folder + "setting\\" + name + ".ini",
                  "[SETTING]\r\ntabName=" + name + "\r\ntabNo=" + std::to_string(list) + "\r\nmaxDownloadNum=" +
                      std::to_string(kRunning) + "\r\nretryWaitTime=1\r\ntimeOutTime=20\r\nsaveFolderPath=" +
                      saveFolder(folder, list) + "\r\n[HTTP]\r\nport=" + std::to_string(testServers().nginx) + "\r\n");
        std::string records;
        for (int file = 0; file < kFirstItems; ++file) records += urlOf(list, file) + "\r\r\n\r\r\n0\r\r\n0\r\r\n";
        writeFile(folder + "setting\\" + name + ".qvr", records);
    }
}

struct Soak {
    QuovarProcess& q;
    std::mt19937& random;
    int shownList = 0;
    int nextFile[kLists];
    std::vector<double> responses;
    int commands = 0;
    int lastKind = -1;

    bool answers() {
        DWORD_PTR result = 0;
        double start = millisecondsNow();
        bool answered = SendMessageTimeoutA(q.window(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
        double ms = millisecondsNow() - start;
        responses.push_back(ms);
        if (ms > 100) std::printf("slow answer: %.0f ms after command kind %d\n", ms, lastKind);
        return answered;
    }

    std::vector<int> someRows() {
        int rows = static_cast<int>(q.rowStates().size());
        std::vector<int> chosen;
        if (rows == 0) return chosen;
        int first = static_cast<int>(random() % rows);
        int count = 1 + static_cast<int>(random() % 3);
        for (int row = first; row < rows && row < first + count; ++row) chosen.push_back(row);
        return chosen;
    }

    void step() {
        ++commands;
        lastKind = static_cast<int>(random() % 10);
        switch (lastKind) {
        case 0:
        case 1: q.selectRows(someRows()); q.command(200); break;  // start
        case 2: q.selectRows(someRows()); q.command(201); break;  // stop
        case 3:                                                   // delete, confirmed
            q.selectRows(someRows());
            q.command(243);
            q.answerMessageBox("確認", 3000, 6);
            break;
        case 4: q.selectRows(someRows()); q.command(204); break;  // move up
        case 5: q.selectRows(someRows()); q.command(205); break;  // move down
        case 6:                                                   // another list
            shownList = static_cast<int>(random() % kLists);
            q.clickTab(shownList);
            break;
        case 7:  // paste a file the list does not have yet
            if (nextFile[shownList] < kFilesPerList) {
                putClipboardText(urlOf(shownList, nextFile[shownList]++) + "\r\n");
                q.command(242);
            }
            break;
        case 8: q.command(1100); break;  // save all
        default: q.command(206); break;  // start all
        }
    }
};

// Brings list `list` to the front and waits until the window shows it.
bool show(const QuovarProcess& q, int list) {
    q.clickTab(list);
    std::string tail = "soak" + std::to_string(list) + ".qvr";
    return waitUntil(
        [&] {
            std::string title = q.title();
            return title.size() >= tail.size() && title.compare(title.size() - tail.size(), tail.size(), tail) == 0;
        },
        5000);
}

int rowsIn(const std::vector<int>& states, int state) {
    return static_cast<int>(std::count(states.begin(), states.end(), state));
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 180;
    unsigned seed = GetTickCount();
    std::mt19937 random(seed);
    TempFolder temp;
    std::string folder = temp.path() + "Quovar\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    prepare(folder, random);

    QuovarProcess q(folder);
    if (!q.started()) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    Soak soak{q, random, 0, {}, {}, 0, -1};
    std::fill(std::begin(soak.nextFile), std::end(soak.nextFile), kFirstItems);
    for (int list = 0; list < kLists; ++list) {
        show(q, list);
        q.command(206);
    }
    int most = 0, overLimit = 0;
    double start = millisecondsNow();
    while (millisecondsNow() - start < seconds * 1000.0) {
        if (!q.running() || !soak.answers()) {
            std::fprintf(stderr, "the program %s after %d commands (seed %u)\n",
                         q.running() ? "stopped answering" : "ended", soak.commands, seed);
            return 1;
        }
        int running = rowsIn(q.rowStates(), kDownloading);
        most = std::max(most, running);
        if (running > kRunning) ++overLimit;
        soak.step();
        Sleep(150);
    }

    // Wind down: every list stops; then each must start as many transfers as it may again.
    int listsStartingFully = 0;
    int finished = 0, identical = 0;
    std::vector<std::string> wrong;
    for (int list = 0; list < kLists; ++list) {
        if (!show(q, list)) std::printf("list %d did not come up: %s\n", list, q.describeWindows().c_str());
        q.command(207);
        // Until every transfer has wound down: no row running, stopping, starting or queued.
        waitUntil(
            [&] {
                std::vector<int> now = q.rowStates();
                return rowsIn(now, kIdle) + rowsIn(now, kFinished) + rowsIn(now, kFailed) ==
                       static_cast<int>(now.size());
            },
            30000);
        std::vector<std::vector<std::string>> rows = q.rows(8000, 1);
        std::vector<int> states = q.rowStates();
        for (size_t row = 0; row < rows.size() && row < states.size(); ++row) {
            if (states[row] != kFinished) continue;
            ++finished;
            const std::string& name = rows[row][0];
            if (readFile(saveFolder(folder, list) + name) == readFile(testServers().root + "\\soak\\" + name))
                ++identical;
            else
                wrong.push_back(name);
        }
        int startable = rowsIn(states, kIdle);  // the start command starts idle items
        std::vector<int> all(states.size());
        for (size_t row = 0; row < all.size(); ++row) all[row] = static_cast<int>(row);
        q.selectRows(all);
        q.command(200);
        int expected = std::min(kRunning, startable);
        // A count that did not come back to zero keeps items queued while fewer than the limit run.
        // Items whose file is already whole end at once, so every idle item having had its turn
        // counts as well.
        auto allStarted = [&] {
            std::vector<int> now = q.rowStates();
            return rowsIn(now, kDownloading) >= expected || rowsIn(now, kIdle) + rowsIn(now, kQueued) == 0;
        };
        if (waitUntil(allStarted, 10000))
            ++listsStartingFully;
        else
            std::printf("list %d started %d of %d idle items (limit %d)\n", list, rowsIn(q.rowStates(), kDownloading),
                        startable, kRunning);
        q.command(207);
    }
    bool closed = q.closeAndWait(60000);
    if (!closed) std::printf("still open 60 s after the close: %s\n", q.describeWindows().c_str());

    std::vector<double>& r = soak.responses;
    std::sort(r.begin(), r.end());
    int slow = static_cast<int>(r.end() - std::upper_bound(r.begin(), r.end(), 100.0));
    for (const std::string& name : wrong) std::printf("not identical: %s\n", name.c_str());
    std::printf("| seconds | commands | most running in a list (limit %d) | WM_NULL p99 / max (ms) |"
                " answers over 100 ms | finished files identical | lists starting fully after | closed | seed |\n"
                "|---:|---:|---:|---:|---:|---:|---:|---|---:|\n",
                kRunning);
    std::printf("| %d | %d | %d | %.1f / %.1f | %d of %zu | %d/%d | %d/%d | %s | %u |\n", seconds, soak.commands, most,
                r[r.size() * 99 / 100], r.back(), slow, r.size(), identical, finished, listsStartingFully, kLists,
                closed ? "yes" : "no", seed);
    return wrong.empty() && slow == 0 && overLimit == 0 && listsStartingFully == kLists && closed ? 0 : 1;
}
