#include "tests/e2e/resume_run.h"
#include "lists/item_list_format.h"
#include "tests/e2e/quovar_driver.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/unit/temp_folder.h"
#include <memory>
#include <random>

namespace {

constexpr int kFinished = 3;
constexpr int kFailed = 4;
constexpr int kIdle = 0;
constexpr int kDownloading = 2;
constexpr int kRestartsPerItem = 12;

struct Download {
    std::string url;
    std::string name;
    uint32_t size;
    bool ftp;
};

std::vector<Download> plan(const ResumeRun& run, const std::string& token) {
    std::mt19937 random(run.seed);
    std::vector<Download> downloads;
    for (int i = 0; i < run.downloads; ++i) {
        uint32_t size = 20000 + random() % (run.largest - 20000 + 1);
        char name[40];
        Download d;
        d.size = size;
        d.ftp = i % 2 == 1;
        if (d.ftp) {
            wsprintfA(name, "f%03d_%u.bin", i, size);
            d.url = std::string("ftp://127.0.0.1/") + name;
        } else {
            wsprintfA(name, "h%03d.bin", i);
            d.url = "http://127.0.0.1/drop/" + token + "-" + std::to_string(i) + "/" + std::to_string(size) + "/" + name;
        }
        d.name = name;
        downloads.push_back(d);
    }
    return downloads;
}

// The default list, pointed at the scripted servers: eight at a time, retries at once, and the FTP
// user name that makes the FTP server play "drop" under `token`.
void presetList(const std::string& folder, const std::string& token) {
    CreateDirectoryA((folder + "setting").c_str(), nullptr);
    writeFile(folder + "setting\\default.ini",
              "[SETTING]\r\ntabName=default\r\ntabNo=0\r\nmaxDownloadNum=8\r\nmaxTryNum=20\r\nretryWaitTime=0\r\n"
              "timeOutTime=10\r\nbuffSize=8192\r\n[HTTP]\r\nport=" +
                  std::to_string(testServers().http) + "\r\n[FTP]\r\nport=" + std::to_string(testServers().ftp) +
                  "\r\nninsyouUSER=drop/" + token + "/0\r\n");
    writeFile(folder + "setting\\default.qvr", "");
}

FILETIME lastWrite(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// Has the program save everything (command 1100) and waits until the item list file was rewritten
// with `items` records.
bool saveAll(const QuovarProcess& q, const std::string& folder, size_t items) {
    std::string path = folder + "setting\\default.qvr";
    FILETIME before = lastWrite(path);
    q.command(1100);
    return waitUntil(
        [&] {
            FILETIME now = lastWrite(path);
            return CompareFileTime(&now, &before) != 0 && parseItemList(readFile(path)).size() == items;
        },
        10000);
}

int connectionsOf(const std::vector<Download>& downloads, const std::string& token) {
    int count = 0;
    for (size_t i = 0; i < downloads.size(); ++i)
        if (!downloads[i].ftp) count += static_cast<int>(requestsFor(token + "-" + std::to_string(i)).size());
    std::string ftpLog = readFile(testServers().state + "\\requests\\" + token + ".log");
    for (size_t at = 0; (at = ftpLog.find("RETR ", at)) != std::string::npos; ++at) ++count;
    return count;
}

std::string compare(const Download& d, const std::string& path) {
    std::string bytes = readFile(path);
    std::string source = contentBytes(0, d.size);
    if (bytes == source) return {};
    size_t at = 0;
    while (at < bytes.size() && at < source.size() && bytes[at] == source[at]) ++at;
    return d.name + ": " + std::to_string(bytes.size()) + " of " + std::to_string(d.size) +
           " bytes, first difference at " + std::to_string(at);
}

}  // namespace

ResumeResult runResumeIntegrity(const std::string& folder, const ResumeRun& run) {
    ResumeResult result;
    DWORD begin = GetTickCount();
    std::string token = uniqueToken("resume");
    std::vector<Download> downloads = plan(run, token);
    presetList(folder, token);
    auto q = std::make_unique<QuovarProcess>(folder);
    std::string text;
    for (const Download& d : downloads) text += d.url + "\r\n";
    putClipboardText(text);
    q->command(242);
    if (!q->started() || !waitUntil([&] { return q->rowStates().size() == downloads.size(); }, 20000) ||
        !saveAll(*q, folder, downloads.size())) {
        result.problems.push_back("the program did not take and save the items");
        return result;
    }
    q->command(206);
    // Rows keep their order (the paste puts the HTTP ones first), across restarts too.
    std::vector<const Download*> ofRow;
    for (const auto& row : q->rows(8000, 1))
        for (const Download& d : downloads)
            if (d.name == row[0]) ofRow.push_back(&d);
    if (ofRow.size() != downloads.size()) {
        result.problems.push_back("the rows do not name the files");
        return result;
    }
    auto complete = [&](int row) {
        return readFile(folder + "download\\" + ofRow[row]->name).size() == ofRow[row]->size;
    };

    std::mt19937 random(run.seed + 1);
    std::vector<int> restarts(downloads.size());
    for (;;) {
        Sleep(700);
        std::vector<int> states = q->rowStates();
        result.finished = result.refusedComplete = 0;
        std::vector<int> downloading, again;
        for (int row = 0; row < static_cast<int>(states.size()); ++row) {
            if (states[row] == kFinished) ++result.finished;
            if (states[row] == kFailed && complete(row)) {
                ++result.refusedComplete;
                continue;
            }
            if (states[row] == kDownloading) downloading.push_back(row);
            // A transfer that gave up (FTP does not retry once logged in) or a stopped item: the
            // user starts it again.
            if ((states[row] == kFailed || states[row] == kIdle) && restarts[row] < kRestartsPerItem) {
                again.push_back(row);
                ++restarts[row];
            }
        }
        if (result.finished + result.refusedComplete == static_cast<int>(downloads.size())) break;
        if (GetTickCount() - begin > run.limitSeconds * 1000) {
            result.problems.push_back("time limit reached with " + std::to_string(result.finished) + " items finished");
            break;
        }
        // A crash once a share of the files is through: what was saved comes back, the rest resumes
        // from the files on disk.
        if (result.kills < run.kills &&
            result.finished * (run.kills + 1) >= static_cast<int>(downloads.size()) * (result.kills + 1)) {
            if (!saveAll(*q, folder, downloads.size())) result.problems.push_back("a save before a kill failed");
            q->kill();
            ++result.kills;
            q = std::make_unique<QuovarProcess>(folder);
            if (!q->started() || q->rowStates().size() != downloads.size()) {
                result.problems.push_back("the program came back without its items");
                return result;
            }
            q->command(206);
            continue;
        }
        if (!again.empty()) {
            q->selectRows(again);
            q->command(202);
            result.restarts += static_cast<int>(again.size());
            continue;
        }
        // Stop one running item; the next round starts it again.
        if (!downloading.empty()) {
            q->selectRows({downloading[random() % downloading.size()]});
            q->command(201);
            ++result.stops;
        }
    }
    q->closeAndWait(30000);
    q.reset();
    for (const Download& d : downloads) {
        std::string problem = compare(d, folder + "download\\" + d.name);
        if (problem.empty())
            ++result.identical;
        else
            result.problems.push_back(problem);
    }
    result.connections = connectionsOf(downloads, token);
    result.seconds = (GetTickCount() - begin) / 1000.0;
    return result;
}
