// Drovik: lists an FTP folder and copies the chosen entries' URLs for Quovar's paste. It opens where
// its command line says ("x,y"), keeps its connection settings in the .ini file beside it, and
// shares nothing with Quovar but its place, its command line and the clipboard.
#include "drovik/ftp_rules.h"
#include "drovik/listing_dialog.h"
#include <string>
#include <windows.h>

namespace {

struct Settings {
    std::string path;
    int port = 21;
    std::string user, password;
};

std::string readSetting(const Settings& s, const char* key, const char* fallback, DWORD limit) {
    char text[80] = {};
    GetPrivateProfileStringA("FTP", key, fallback, text, limit + 1, s.path.c_str());
    return text[0] ? text : fallback;
}

Settings readSettings() {
    Settings s;
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    s.path = exe;
    if (s.path.size() >= 3) s.path.replace(s.path.size() - 3, 3, "ini");
    s.port = ftpPortOf(readSetting(s, "port", "21", 7));
    if (s.port == kNoPort) s.port = 21;  // a hand-edited file; the dialog shows the port it will use
    s.user = readSetting(s, "user", "anonymous", 76);
    s.password = readSetting(s, "pass", "-fetcher@", 76);
    return s;
}

void writeSettings(const Settings& s, const DrovikState& state) {
    WritePrivateProfileStringA("FTP", "port", std::to_string(state.listing.port).c_str(), s.path.c_str());
    WritePrivateProfileStringA("FTP", "user", state.listing.user.c_str(), s.path.c_str());
    WritePrivateProfileStringA("FTP", "pass", state.listing.password.c_str(), s.path.c_str());
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    DrovikState state;
    Placement at = placementOf(commandLine ? commandLine : "");
    state.x = at.x;
    state.y = at.y;
    GetSystemDirectoryA(state.listing.systemFolder, sizeof state.listing.systemFolder);
    Settings settings = readSettings();
    state.listing.port = settings.port;
    state.listing.user = settings.user;
    state.listing.password = settings.password;
    InitializeCriticalSection(&state.listing.lock);
    runListingDialog(state);
    writeSettings(settings, state);
    // A listing thread still held by the internet client ends with the process, here, while what
    // it uses still exists.
    if (listingRuns(state.listing)) ExitProcess(0);
    DeleteCriticalSection(&state.listing.lock);
    return 0;
}
