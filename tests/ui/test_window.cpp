#include "tests/ui/test_window.h"
#include "resources/resource.h"
#include "ui/owner_menus.h"
#include <commctrl.h>
#include <map>

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

std::map<UINT_PTR, std::function<void()>> laterActions;

void CALLBACK onLater(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    auto found = laterActions.find(timer);
    if (found == laterActions.end()) return;
    std::function<void()> action = std::move(found->second);
    laterActions.erase(found);
    action();
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
    UINT_PTR timer = SetTimer(nullptr, 0, delay, onLater);
    laterActions[timer] = std::move(action);
}

namespace {

struct WindowSearch {
    const char* className;
    const char* title;
    HWND found;
};

BOOL CALLBACK matchOwnWindow(HWND window, LPARAM lParam) {
    auto* s = reinterpret_cast<WindowSearch*>(lParam);
    char name[64] = {}, text[128] = {};
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, text, sizeof text);
    if (IsWindowVisible(window) && lstrcmpiA(name, s->className) == 0 && (!s->title || lstrcmpA(text, s->title) == 0)) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND findOwnWindow(const char* className, const char* title) {
    WindowSearch search{className, title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), matchOwnWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void cancelPendingCalls() {
    for (auto& pending : laterActions) KillTimer(nullptr, pending.first);
    laterActions.clear();
}

