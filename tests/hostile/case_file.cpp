#include "tests/hostile/case_file.h"
#include "engine/transfer_events.h"
#include "tests/engine/scheduler_stand_in.h"
#include <cstdlib>
#include <map>
#include <sstream>
#include <windows.h>

namespace {

const std::map<std::string, uint32_t>& commandNames() {
    static const std::map<std::string, uint32_t> names = {
        {"CMD_STOPPED", CMD_STOPPED}, {"CMD_SUCCEEDED", CMD_SUCCEEDED},       {"CMD_FAILED", CMD_FAILED},
        {"CMD_DELETE", CMD_DELETE},   {"CMD_REDIRECT_FTP", CMD_REDIRECT_FTP},
    };
    return names;
}

const std::map<std::string, int>& stageNames() {
    static const std::map<std::string, int> names = {
        {"STAGE_SOCKET_INIT", STAGE_SOCKET_INIT},
        {"STAGE_HOST_LOOKUP", STAGE_HOST_LOOKUP},
        {"STAGE_CONNECT", STAGE_CONNECT},
        {"STAGE_REQUEST", STAGE_REQUEST},
        {"STAGE_RECOVERY_HEADER", STAGE_RECOVERY_HEADER},
        {"STAGE_DATA", STAGE_DATA},
        {"STAGE_FILE_SIZE", STAGE_FILE_SIZE},
        {"STAGE_FILE_SEEK", STAGE_FILE_SEEK},
        {"STAGE_FILE_WRITE", STAGE_FILE_WRITE},
        {"STAGE_BUFFER_OVERFLOW", STAGE_BUFFER_OVERFLOW},
        {"STAGE_UNEXPECTED_REPLY", STAGE_UNEXPECTED_REPLY},
        {"STAGE_GREETING", STAGE_GREETING},
        {"STAGE_LOGIN", STAGE_LOGIN},
        {"STAGE_CHANGE_DIR", STAGE_CHANGE_DIR},
        {"STAGE_TRANSFER_TYPE", STAGE_TRANSFER_TYPE},
        {"STAGE_PASSIVE", STAGE_PASSIVE},
        {"STAGE_END_REPLY", STAGE_END_REPLY},
        {"STAGE_LOGOUT", STAGE_LOGOUT},
        {"STAGE_BAD_URL", STAGE_BAD_URL},
        {"STAGE_REDIRECTS", STAGE_REDIRECTS},
    };
    return names;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool number(const std::string& text, int64_t& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return *end == '\0';
}

bool seconds(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

// "A..B" with either side optional; a missing side keeps its default.
template <typename T, typename Read> bool span(const std::string& text, T& low, T& high, Read read) {
    size_t dots = text.find("..");
    if (dots == std::string::npos) {
        if (!read(text, low)) return false;
        high = low;
        return true;
    }
    std::string a = text.substr(0, dots), b = text.substr(dots + 2);
    return (a.empty() || read(a, low)) && (b.empty() || read(b, high));
}

// Bytes made of parts joined by '+': "content A..B" (the served bytes A to B) or "garbage N".
bool fileParts(const std::vector<std::string>& w, std::string& bytes) {
    bytes.clear();
    for (size_t i = 0; i < w.size();) {
        if (i > 0) {
            if (w[i] != "+") return false;
            ++i;
        }
        if (i + 1 >= w.size()) return false;
        if (w[i] == "content") {
            int64_t a = 0, b = -1;
            if (!span(w[i + 1], a, b, number) || a < 0 || b < a) return false;
            bytes += contentBytes(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
        } else if (w[i] == "garbage") {
            int64_t n = 0;
            if (!number(w[i + 1], n) || n < 0) return false;
            bytes.append(static_cast<size_t>(n), kGarbageByte);
        } else {
            return false;
        }
        i += 2;
    }
    return true;
}

// Case files are UTF-8; the program's log lines are code page 932.
std::string toCodePage932(const std::string& utf8) {
    int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
    int narrow = WideCharToMultiByte(932, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(932, 0, w.data(), wide, out.data(), narrow, nullptr, nullptr);
    return out;
}

}  // namespace

bool parseHostileCase(const std::string& name, const std::string& text, HostileCase& c, std::string& error) {
    c = HostileCase{};
    c.name = name;
    bool haveOutcome = false, haveFile = false, haveDuration = false, haveConnections = false;
    int numbered = 0;
    bool anyConnection = false, inScripts = false;
    std::istringstream in(text);
    std::string line;
    for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        line = line.substr(first);
        size_t blank = line.find(' ');
        std::string key = line.substr(0, blank);
        std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        std::vector<std::string> w = words(rest);
        auto bad = [&](const char* what) {
            error = name + ".case:" + std::to_string(lineNumber) + ": " + what + ": " + line;
            return false;
        };
        if (key == "connection") {
            inScripts = true;
            if (rest == "*")
                anyConnection = true;
            else
                ++numbered;
            continue;
        }
        if (inScripts) continue;  // the replay server's part

        if (key == "protocol") {
            if (rest != "http" && rest != "ftp") return bad("protocol is http or ftp");
            c.protocol = rest;
        } else if (key == "settings") {
            for (const std::string& setting : w) {
                size_t eq = setting.find('=');
                int64_t v = 0;
                if (eq == std::string::npos || !number(setting.substr(eq + 1), v)) return bad("settings NAME=VALUE");
                std::string n = setting.substr(0, eq);
                if (n == "timeOutTime") c.timeOutTime = static_cast<int32_t>(v);
                else if (n == "maxTryNum") c.maxTryNum = static_cast<uint32_t>(v);
                else if (n == "buffSize") c.buffSize = static_cast<uint32_t>(v);
                else if (n == "retryWaitTime") c.retryWaitTime = static_cast<int32_t>(v);
                else if (n == "connectionsPerItem") c.connectionsPerItem = static_cast<int32_t>(v);
                else if (n == "speedLimit") c.speedLimit = static_cast<int32_t>(v);
                else if (n == "useReferer") c.useReferer = static_cast<uint32_t>(v);
                else return bad("unknown setting");
            }
        } else if (key == "userinfo") {
            c.userinfo = rest;
        } else if (key == "basic") {
            if (w.size() != 2) return bad("basic USER PASSWORD");
            c.basicUser = w[0];
            c.basicPassword = w[1];
        } else if (key == "cookie") {
            c.cookie = rest;
        } else if (key == "ftp-password") {
            c.ftpPassword = rest;
        } else if (key == "follow-ftp") {
            c.followFtp = true;
        } else if (key == "path") {
            if (rest.empty() || rest[0] != '/') return bad("a path begins with '/'");
            c.path = rest;
        } else if (key == "present") {
            if (!fileParts(w, c.presentBytes)) return bad("present PARTS");
            c.present = true;
        } else if (key == "remembered") {
            int64_t total = 0;
            size_t blank = rest.find(' ');
            if (blank == std::string::npos || !number(rest.substr(0, blank), total)) return bad("remembered TOTAL VALIDATOR");
            c.rememberedTotal = static_cast<uint64_t>(total);
            c.rememberedValidator = rest.substr(blank + 1);
        } else if (key == "outcome") {
            if (w.empty() || w.size() > 2 || !commandNames().count(w[0])) return bad("outcome CMD_X [STAGE_Y]");
            c.outcome = commandNames().at(w[0]);
            c.stage = 0;
            if (w.size() == 2) {
                if (!stageNames().count(w[1])) return bad("unknown stage");
                c.stage = stageNames().at(w[1]);
            }
            if ((c.outcome == CMD_FAILED) != (c.stage != 0)) return bad("a stage goes with CMD_FAILED, and only with it");
            haveOutcome = true;
        } else if (key == "file") {
            haveFile = true;
            if (rest != "empty" && !fileParts(w, c.fileBytes)) return bad("file empty | PARTS");
        } else if (key == "duration") {
            c.maxSeconds = -1;
            if (!span(rest, c.minSeconds, c.maxSeconds, seconds) || c.maxSeconds <= 0)
                return bad("duration [MIN]..MAX");
            haveDuration = true;
        } else if (key == "tries") {
            int64_t v = 0;
            if (!number(rest, v)) return bad("tries N");
            c.tries = static_cast<int>(v);
        } else if (key == "total") {
            if (!number(rest, c.total)) return bad("total N");
        } else if (key == "connections") {
            int64_t low = 0, high = -1;
            if (!span(rest, low, high, number)) return bad("connections N | N.. | N..M");
            c.connectionsAtLeast = static_cast<int>(low);
            c.connectionsAtMost = static_cast<int>(high);
            haveConnections = true;
        } else if (key == "logged") {
            c.logged.push_back(toCodePage932(rest));
        } else if (key == "not-logged") {
            c.notLogged.push_back(toCodePage932(rest));
        } else if (key == "redirect") {
            c.checkRedirect = true;
            c.redirect = rest;
        } else if (key == "named-by-hand") {
            c.namedByHand = true;
        } else if (key == "saved") {
            c.saved = toCodePage932(rest);
        } else if (key == "stop-after") {
            int64_t n = 0;
            size_t last = rest.rfind(' ');
            if (last == std::string::npos || !number(rest.substr(last + 1), n)) return bad("stop-after PREFIX N");
            c.stopAfterPrefix = toCodePage932(rest.substr(0, last));
            c.stopAfterCount = static_cast<int>(n);
        } else {
            return bad("unknown header line");
        }
    }
    if (c.protocol.empty()) return error = name + ".case: no protocol line", false;
    if (!haveOutcome) return error = name + ".case: no outcome line", false;
    if (!haveFile) return error = name + ".case: no file line", false;
    if (!haveDuration) return error = name + ".case: no duration line", false;
    // Without a connections line: exactly the numbered scripts, or at least them when "connection *"
    // plays every further one.
    if (!haveConnections) {
        c.connectionsAtLeast = numbered;
        c.connectionsAtMost = anyConnection ? -1 : numbered;
    }
    return true;
}
