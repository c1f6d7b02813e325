// A shutdown that the user lets happen. Under Wine a shutdown asks every window of the Wine session
// to end the session, as Windows does, and may end their processes: so this runs only in a session
// of its own (own_session.sh), which reads what the test left behind: whether the lists were saved
// before the countdown, and whether the session was asked to end (the test's own hidden window
// hears it).
#include "tests/e2e/program_test.h"
#include <cstdlib>

namespace {

std::string stateFolder;  // where the markers go, as a Windows path with its backslash

LRESULT CALLBACK sessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) return TRUE;
    if (message == WM_ENDSESSION && wParam) writeFile(stateFolder + "ended", "");
    return DefWindowProcA(window, message, wParam, lParam);
}

// A top-level window of this process that hears of the end of the session.
HWND makeSessionWindow() {
    WNDCLASSA c{};
    c.lpfnWndProc = sessionWindowProc;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "QuovarTestSession";
    RegisterClassA(&c);
    return CreateWindowExA(0, c.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, c.hInstance, nullptr);
}

// Waits for `done` while this thread's windows get their messages.
template <typename Done> bool pumpUntil(Done done, DWORD ms) {
    for (DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    return true;
}

struct OwnSession : ProgramTest {
    std::string state;  // where the markers go, as a Windows path
    void SetUp() override {
        const char* own = std::getenv("QUOVAR_OWN_SESSION_STATE");
        if (!own) GTEST_SKIP() << "runs only in a Wine session of its own: tests/e2e/own_session.sh";
        state = stateFolder = std::string(own) + "\\";
        ProgramTest::SetUp();
    }
};

TEST_F(OwnSession, LeavingTheShutdownCountdownAloneShutsDownAfterTheListsAreSaved) {
    presetDefaultList(testServers().http);
    SYSTEMTIME now;
    GetLocalTime(&now);
    int exitAt = now.wHour * 60 + now.wMinute + (now.wSecond <= 45 ? 1 : 2);
    std::string settings = folder + "quovar.ini";
    WritePrivateProfileStringA("TIMER", "useExitTimer", "1", settings.c_str());
    WritePrivateProfileStringA("TIMER", "windowsShutdown", "1", settings.c_str());
    WritePrivateProfileStringA("TIMER", "timeHour", std::to_string(exitAt / 60 % 24).c_str(), settings.c_str());
    WritePrivateProfileStringA("TIMER", "timeMinute", std::to_string(exitAt % 60).c_str(), settings.c_str());
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(makeSessionWindow());
    std::string url = "http://127.0.0.1/slow/own" + std::to_string(GetTickCount()) + "/4000000/slow.bin";
    ASSERT_TRUE(paste(q, url + "\r\n", 1));
    q.selectRows({0});
    q.command(200);

    ASSERT_TRUE(q.findDialog("確認", 150000)) << q.describeWindows();
    bool saved = readFile(folder + "setting\\default.qvr").find(url) != std::string::npos;
    writeFile(state + "countdown", saved ? "saved" : "not saved");
    EXPECT_TRUE(saved);
    // Nobody answers the countdown: after its ten seconds the program asks for the shutdown.
    EXPECT_TRUE(pumpUntil([&] { return fileExists(state + "ended"); }, 60000)) << "the session was not asked to end";
}

}  // namespace
