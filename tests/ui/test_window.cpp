#include "tests/ui/test_window.h"
#include "resources/resource.h"
#include "ui/owner_menus.h"
#include <commctrl.h>

std::vector<MeasuredEntry> measuredEntries;

namespace {

constexpr char kClass[] = "qvrTestWindow";

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (wParam == 0 && onMeasureMenuItem(window, measure)) {
            measuredEntries.push_back({measure->itemID, measure->itemWidth, measure->itemHeight});
            return TRUE;
        }
        break;
    }
    case WM_DRAWITEM:
        if (wParam == 0 && onDrawMenuItem(window, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerOnce() {
    static bool registered = false;
    if (registered) return;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = testWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszMenuName = MENU_MAIN;
    windowClass.lpszClassName = kClass;
    RegisterClassA(&windowClass);
    registered = true;
}

std::function<void()> laterAction;

void CALLBACK onLater(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    std::function<void()> action = std::move(laterAction);
    laterAction = nullptr;
    if (action) action();
}

}  // namespace

TestWindow::TestWindow(bool visible) {
    registerOnce();
    window = CreateWindowExA(0, kClass, "Quovar test", WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 40, 40, 640,
                             300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

TestWindow::~TestWindow() {
    if (window) DestroyWindow(window);
}

void callLater(UINT delay, std::function<void()> action) {
    laterAction = std::move(action);
    SetTimer(nullptr, 0, delay, onLater);
}

void pumpMessages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}
