// Program entry: paths, the item lock, the main window, the socket layer and the message loop.
#include "common/message_box.h"
#include "common/program_paths.h"
#include "engine/connection.h"
#include "intake/browser_menu.h"
#include "lists/item_lock.h"
#include "ui/main_window.h"
#include <mmsystem.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    initItemLock();
    char exePath[MAX_PATH];
    GetModuleFileNameA(nullptr, exePath, sizeof exePath);
    formProgramPaths(programPaths, exePath);
    // Sleep(10) lasts a whole default timer tick on Windows; the transfer pace needs 1 ms.
    timeBeginPeriod(1);

    if (!registerMainWindowClass(instance)) return 0;
    HWND window = createMainWindow(instance);
    if (!window) return 0;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    registerBrowserMenu();

    MSG message{};
    if (!startWinSock()) {
        MessageBoxA(window, "ＷｉｎＳｏｃｋの初期化に失敗", kCaptionReport, MB_TOPMOST | MB_TASKMODAL | MB_ICONWARNING);
    } else {
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        stopWinSock();
    }
    removeBrowserMenu();
    timeEndPeriod(1);
    deleteItemLock();
    return static_cast<int>(message.wParam);
}
