// The driver of `scripts/run --demo`: lays out a program folder with two lists, "demo" at the stepped
// pace and "fullspeed" without a limit, whose items are the files the demo's web and FTP servers
// serve, starts the quovar.exe found in that folder, starts all items of both lists as the toolbar
// button would, and stays until the program ends.
//
//     demo_driver.exe FOLDER [--until-done]
//
// FOLDER (a Windows path with its trailing backslash) holds quovar.exe; QUOVAR_SERVERS names the
// servers file of the demo's servers. The settings and item-list files are written by the
// program's own writers, so they are exactly what the program would have saved. With --until-done
// the driver closes the program once every item has finished (or failed), and its exit code
// says whether all of them finished; with QUOVAR_SCREENSHOTS set it saves a picture of the window
// while the big files are on their way.
#include "engine/pace.h"
#include "lists/download_list.h"
#include "lists/item_list_format.h"
#include "lists/tab_settings_file.h"
#include "common/text.h"
#include "common/win_handles.h"
#include "tests/e2e/quovar_driver.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/unit/temp_folder.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kStartAllItems = 206;
constexpr DWORD kDemoMs = 120000;  // the demo takes some 25 s; anything near this has gone wrong

struct ServedFile {
    std::string url;
    DWORD size;
};

// Every plain file of `root` as a URL of `base`.
void addServedFiles(std::vector<ServedFile>& files, const std::string& root, const std::string& base) {
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA((root + "\\*").c_str(), &found));
    if (!find.valid()) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        files.push_back({base + found.cFileName, found.nFileSizeLow});
    } while (FindNextFileA(find.get(), &found));
}

// The program settings of the demo: a window wide enough for every column, and no automatic exit
// (out of the box the program ends itself at 8:00).
void writeProgramSettings(const std::string& folder) {
    std::string ini = folder + "quovar.ini";
    const char* values[][3] = {
        {"WINDOW", "pos_x", "16"},          {"WINDOW", "pos_y", "16"},          {"WINDOW", "siz_x", "900"},
        {"WINDOW", "siz_y", "440"},         {"logWINDOW", "siz_y", "130"},      {"listWINDOW", "ColumnWidth0", "150"},
        {"listWINDOW", "ColumnWidth1", "80"}, {"listWINDOW", "ColumnWidth2", "80"}, {"listWINDOW", "ColumnWidth3", "140"},
        {"listWINDOW", "ColumnWidth4", "80"}, {"listWINDOW", "ColumnWidth5", "50"}, {"listWINDOW", "ColumnWidth6", "300"},
        {"TIMER", "useExitTimer", "0"},
    };
    for (auto& v : values) WritePrivateProfileStringA(v[0], v[1], v[2], ini.c_str());
}

// A list of `files` with the servers' ports, three downloads at a time: the biggest files first, so
// that they start at once and the small ones pass through the third slot.
bool writeList(const std::string& folder, const TestServers& servers, const char* name, int tabNo,
               std::vector<ServedFile> files, int32_t speedLimit, const std::string& saveFolder) {
    if (files.empty()) return false;
    std::stable_sort(files.begin(), files.end(), [](const ServedFile& a, const ServedFile& b) { return a.size > b.size; });
    DownloadList list{};
    setDefaultSettings(list);
    copyText(list.tabName, name);
    copyText(list.settingsFilePath, folder + "setting\\" + name + ".ini");
    copyText(list.itemListFilePath, folder + "setting\\" + name + ".qvr");
    copyText(list.saveFolderPath, saveFolder);
    list.HTTP.port = static_cast<uint32_t>(servers.nginx);
    list.FTP.port = static_cast<uint32_t>(servers.realFtp);
    list.maxDownloadNum = 3;
    list.retryWaitTime = 1;
    list.speedLimit = speedLimit;
    if (!saveListSettings(list, tabNo)) return false;
    std::string records;
    for (const ServedFile& file : files) records += formatItemRecord(file.url, "", 0, false);
    writeFile(list.itemListFilePath, records);
    return readFile(list.itemListFilePath) == records;
}

// Two lists of the servers' files: "demo" at the stepped pace of the default buffer, and beside it
// "fullspeed" without a limit, which also holds the large files of the servers' "full" folders and
// saves into download\fullspeed\.
bool writeDemoLists(const std::string& folder, const TestServers& servers) {
    std::vector<ServedFile> files;
    addServedFiles(files, servers.root, "http://127.0.0.1/");
    addServedFiles(files, servers.ftpRoot, "ftp://127.0.0.1/");
    usePathsIn(folder);
    CreateDirectoryA((folder + "setting").c_str(), nullptr);
    if (!writeList(folder, servers, "demo", 0, files, kPaceStepped, folder + "download\\")) return false;
    addServedFiles(files, servers.root + "\\full", "http://127.0.0.1/full/");
    addServedFiles(files, servers.ftpRoot + "\\full", "ftp://127.0.0.1/full/");
    return writeList(folder, servers, "fullspeed", 1, files, kPaceFree, folder + "download\\fullspeed\\");
}

// Shows the list of tab `index` and waits until the window has switched to it (the title names its
// item list), so that a command that follows goes to that list.
void showList(const QuovarProcess& q, int index) {
    std::string end = std::string("\\setting\\") + (index == 0 ? "demo" : "fullspeed") + ".qvr";
    q.clickTab(index);
    waitUntil(
        [&] {
            std::string title = q.title();
            return title.size() > end.size() && title.compare(title.size() - end.size(), end.size(), end) == 0;
        },
        10000);
    q.settle();
}

int count(const std::vector<int>& states, int state) { return static_cast<int>(std::count(states.begin(), states.end(), state)); }

bool allEnded(const std::vector<int>& states) {
    return !states.empty() && count(states, Finished) + count(states, Failed) == static_cast<int>(states.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--until-done") != 0) || argc > 3) {
        std::fprintf(stderr, "usage: demo_driver.exe FOLDER [--until-done]\n");
        return 2;
    }
    std::string folder = argv[1];
    bool untilDone = argc == 3;
    const TestServers& servers = testServers();
    if (servers.nginx == 0 || servers.realFtp == 0) {
        std::fprintf(stderr, "demo_driver: QUOVAR_SERVERS names no demo servers\n");
        return 2;
    }
    writeProgramSettings(folder);
    if (!writeDemoLists(folder, servers)) {
        std::fprintf(stderr, "demo_driver: could not write the demo list into %s\n", folder.c_str());
        return 1;
    }

    QuovarProcess q(folder, nullptr, true);
    if (!q.started()) {
        std::fprintf(stderr, "demo_driver: no Quovar window appeared\n");
        return 1;
    }
    // Both lists start at once: the full-speed one is done while the stepped one has barely begun.
    showList(q, 1);
    q.command(kStartAllItems);
    showList(q, 0);
    q.command(kStartAllItems);
    q.selectRows({0});  // the log pane follows the biggest file
    std::printf("Quovar is downloading the demo list into %sdownload\\\n", folder.c_str());
    std::fflush(stdout);
    if (!untilDone) {
        q.waitForEnd(INFINITE);
        return 0;
    }

    // The picture is taken once the small files are through and the big ones are under way.
    bool pictured = screenshotFolder().empty();
    std::vector<int> states;
    bool ended = waitUntil(
        [&] {
            states = q.rowStates();
            if (!pictured && count(states, Finished) >= 2 && count(states, Downloading) >= 2) {
                Sleep(1500);  // the progress cells move on
                pictured = q.saveScreenshot(screenshotFolder() + "demo-downloading.bmp");
            }
            return allEnded(states) || !q.running();
        },
        kDemoMs);
    int finished = count(states, Finished);
    int items = static_cast<int>(states.size());
    showList(q, 1);
    ended = ended && waitUntil([&] { return allEnded(states = q.rowStates()); }, 10000);
    finished += count(states, Finished);
    items += static_cast<int>(states.size());
    std::printf("%d of %d items finished\n", finished, items);
    if (!q.closeAndWait(30000)) {
        std::fprintf(stderr, "demo_driver: Quovar did not end within 30 s of WM_CLOSE\n");
        return 1;
    }
    return ended && !states.empty() && finished == items ? 0 : 1;
}
