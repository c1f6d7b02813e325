#include "tests/e2e/quovar_driver.h"
#include <commctrl.h>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

std::string windowsPath(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// The first top-level window of a process with a given class (and visible, when asked).
struct WindowSearch {
    DWORD processId;
    const char* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK findWindowOfClass(HWND window, LPARAM param) {
    auto* find = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == find->processId && std::strcmp(className, find->className) == 0 &&
        (!find->visibleOnly || IsWindowVisible(window))) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits until `window` answers messages again: its thread has handled what came before.
bool answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
}

// A rectangle the program computes for one of its controls, read across the process boundary.
RECT remoteRect(HANDLE process, HWND control, UINT message, WPARAM which) {
    RECT r{};
    auto* remote = static_cast<RECT*>(VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return r;
    WriteProcessMemory(process, remote, &r, sizeof r, nullptr);
    SendMessageA(control, message, which, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return r;
}
}  // namespace

namespace {
// The build folder, from the servers file CTest names (<build>/test-servers/servers.ini).
std::string buildFolder() {
    const char* servers = std::getenv("QUOVAR_SERVERS");
    if (!servers) return {};
    std::string path = servers;
    size_t cut = path.rfind("/test-servers/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}
}  // namespace

std::string programUnderTest() {
    if (const char* exe = std::getenv("QUOVAR_EXE")) return windowsPath(exe);
    std::string build = buildFolder();
    return build.empty() ? std::string() : windowsPath((build + "/ui/quovar.exe").c_str());
}

std::string toolUnderTest() {
    if (const char* exe = std::getenv("QUOVAR_TOOL_EXE")) return windowsPath(exe);
    std::string build = buildFolder();
    return build.empty() ? std::string() : windowsPath((build + "/drovik/Drovik.exe").c_str());
}

std::string screenshotFolder() {
    if (const char* folder = std::getenv("QUOVAR_SCREENSHOTS")) return windowsPath(folder) + "\\";
    std::string build = buildFolder();
    return build.empty() ? std::string() : windowsPath((build + "/../screenshots").c_str()) + "\\";
}

QuovarProcess::QuovarProcess(const std::string& folder, std::string* startupReport, bool inPlace) : folder_(folder) {
    std::string exe = folder + "quovar.exe";
    CreateDirectoryA(folder.c_str(), nullptr);
    if (!inPlace && !CopyFileA(programUnderTest().c_str(), exe.c_str(), FALSE)) return;
    // Out of the box the program ends itself at 8:00; a test that happens to run then must not see
    // that. A test of the timers, or of the settings file, writes its own.
    std::string settings = folder + "quovar.ini";
    if (GetFileAttributesA(settings.c_str()) == INVALID_FILE_ATTRIBUTES)
        WritePrivateProfileStringA("TIMER", "useExitTimer", "0", settings.c_str());
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    if (!start(exe, "", folder)) return;
    WaitForInputIdle(process_.hProcess, 20000);
    QueryPerformanceCounter(&after);
    toIdle_ = static_cast<double>(after.QuadPart - before.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    WindowSearch find{process_.dwProcessId, "qvrWndClass", false, nullptr};
    waitUntil(
        [&] {
            if (startupReport) {
                std::string text = answerMessageBox("報告", 0);
                if (!text.empty()) *startupReport += text + "\n";
            }
            EnumWindows(findWindowOfClass, reinterpret_cast<LPARAM>(&find));
            return find.found != nullptr && IsWindowVisible(find.found);
        },
        20000);
    window_ = find.found;
    settle();
}

QuovarProcess::~QuovarProcess() {
    if (running()) closeAndWait(30000);
}

bool DrivenProcess::start(const std::string& exe, const std::string& arguments, const std::string& folder) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    return CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                          &process_) != FALSE;
}

DrivenProcess::~DrivenProcess() {
    // Ended for good before the test goes on: its program file may be copied anew in a moment.
    if (running()) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 10000);
    }
    if (process_.hProcess) CloseHandle(process_.hProcess);
    if (process_.hThread) CloseHandle(process_.hThread);
}

bool DrivenProcess::waitForEnd(DWORD ms) const {
    return !process_.hProcess || WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0;
}

bool DrivenProcess::running() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

void DrivenProcess::kill() {
    if (!running()) return;
    TerminateProcess(process_.hProcess, 9);
    WaitForSingleObject(process_.hProcess, 10000);
}

void QuovarProcess::command(int id) const { PostMessageA(window_, WM_COMMAND, id, 0); }

bool QuovarProcess::settle() const { return answers(window_); }

std::string QuovarProcess::title() const {
    char text[512] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window_, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &result);
    return text;
}

std::vector<std::vector<std::string>> DrivenProcess::rows(HWND list, int columns) const {
    std::vector<std::vector<std::string>> table;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    // The row texts live in the program's memory: ask for them into a block allocated there.
    constexpr size_t kText = 8300;  // a URL cell holds up to 8192 characters
    char* remote = static_cast<char*>(
        VirtualAllocEx(process_.hProcess, nullptr, sizeof(LVITEMA) + kText, MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return table;
    for (int row = 0; row < count; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < columns; ++column) {
            LVITEMA request{};
            request.iSubItem = column;
            request.pszText = remote + sizeof(LVITEMA);
            request.cchTextMax = kText;
            WriteProcessMemory(process_.hProcess, remote, &request, sizeof request, nullptr);
            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote));
            char text[kText] = {};
            ReadProcessMemory(process_.hProcess, remote + sizeof(LVITEMA), text, kText - 1, nullptr);
            cells.push_back(text);
        }
        table.push_back(cells);
    }
    VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
    return table;
}

std::vector<int> QuovarProcess::rowStates() const {
    std::vector<int> states;
    HWND list = control(8000);
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    auto* remote = static_cast<LVITEMA*>(
        VirtualAllocEx(process_.hProcess, nullptr, sizeof(LVITEMA), MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return states;
    for (int row = 0; row < count; ++row) {
        LVITEMA request{};
        request.mask = LVIF_IMAGE;
        request.iItem = row;
        WriteProcessMemory(process_.hProcess, remote, &request, sizeof request, nullptr);
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process_.hProcess, remote, &request, sizeof request, nullptr);
        states.push_back(request.iImage);
    }
    VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
    return states;
}

void DrivenProcess::selectRowsOf(HWND list, const std::vector<int>& rows) const {
    LVITEMA* remote = static_cast<LVITEMA*>(
        VirtualAllocEx(process_.hProcess, nullptr, sizeof(LVITEMA), MEM_COMMIT, PAGE_READWRITE));
    auto setState = [&](int row, UINT state) {
        LVITEMA change{};
        change.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        change.state = state;
        WriteProcessMemory(process_.hProcess, remote, &change, sizeof change, nullptr);
        SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote));
    };
    setState(-1, 0);
    for (int row : rows) setState(row, LVIS_SELECTED | (row == rows.back() ? LVIS_FOCUSED : 0));
    VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
    answers(GetAncestor(list, GA_ROOT));
}

void DrivenProcess::clickTabOf(HWND tabs, int index) const {
    RECT r = remoteRect(process_.hProcess, tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(tabs, WM_LBUTTONUP, 0, at);
    // A sent message is answered before posted ones are handled: the selection read this way has
    // changed only once the program has handled the click.
    waitUntil([&] { return SendMessageA(tabs, TCM_GETCURSEL, 0, 0) == index; }, 5000);
    answers(GetAncestor(tabs, GA_ROOT));
}

namespace {
struct FindBox {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK findMessageBox(HWND window, LPARAM param) {
    auto* find = reinterpret_cast<FindBox*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char title[128] = {}, className[32] = {};
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, className, sizeof className);
    if (owner == find->processId && std::strcmp(className, "#32770") == 0 && std::strcmp(title, find->caption) == 0 &&
        IsWindowVisible(window)) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collectText(HWND child, LPARAM param) {
    char className[32] = {}, text[512] = {};
    GetClassNameA(child, className, sizeof className);
    if (std::strcmp(className, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0)
        *reinterpret_cast<std::string*>(param) += text;
    return TRUE;
}
}  // namespace

namespace {
struct Described {
    DWORD processId;
    std::string text;
};

BOOL CALLBACK describeWindow(HWND window, LPARAM param) {
    auto* described = reinterpret_cast<Described*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != described->processId || !IsWindowVisible(window)) return TRUE;
    char className[64] = {}, title[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    std::string texts;
    EnumChildWindows(window, collectText, reinterpret_cast<LPARAM>(&texts));
    described->text += std::string("[") + className + "] " + title + ": " + texts + "\n";
    return TRUE;
}
}  // namespace

std::string DrivenProcess::describeWindows() const {
    Described described{process_.dwProcessId, {}};
    EnumWindows(describeWindow, reinterpret_cast<LPARAM>(&described));
    return described.text;
}

std::string QuovarProcess::tabText(int index) const {
    struct Remote {
        TCITEMA tab;
        char text[64];
    };
    auto* remote = static_cast<Remote*>(VirtualAllocEx(process_.hProcess, nullptr, sizeof(Remote), MEM_COMMIT,
                                                       PAGE_READWRITE));
    if (!remote) return {};
    Remote local{};
    local.tab.mask = TCIF_TEXT;
    local.tab.pszText = remote->text;
    local.tab.cchTextMax = sizeof local.text;
    WriteProcessMemory(process_.hProcess, remote, &local, sizeof local, nullptr);
    HWND tabs = FindWindowExA(window_, nullptr, "SysTabControl32", nullptr);
    SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&remote->tab));
    ReadProcessMemory(process_.hProcess, remote, &local, sizeof local, nullptr);
    VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
    local.text[sizeof local.text - 1] = '\0';
    return local.text;
}

HWND DrivenProcess::findDialog(const char* caption, DWORD ms) const {
    FindBox find{process_.dwProcessId, caption, nullptr};
    waitUntil(
        [&] {
            EnumWindows(findMessageBox, reinterpret_cast<LPARAM>(&find));
            return find.found != nullptr;
        },
        ms);
    return find.found;
}

namespace {
struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK findControl(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<ControlSearch*>(param);
    if (GetDlgCtrlID(child) != search->id) return TRUE;
    search->found = child;
    return FALSE;
}
}  // namespace

HWND dialogControl(HWND dialog, int id) {
    if (HWND direct = GetDlgItem(dialog, id)) return direct;  // before the controls inside controls
    ControlSearch search{id, nullptr};
    EnumChildWindows(dialog, findControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string controlText(HWND control) {
    char text[1100] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &result);
    return text;
}

void setControlText(HWND control, const std::string& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 5000, &result);
}

void clickButton(HWND button) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result);
}

std::string DrivenProcess::answerMessageBox(const char* caption, DWORD ms, int button) const {
    HWND box = findDialog(caption, ms);
    if (!box) return {};
    std::string text;
    EnumChildWindows(box, collectText, reinterpret_cast<LPARAM>(&text));
    PostMessageA(box, WM_COMMAND, button, 0);
    waitUntil([&] { return !IsWindow(box); }, 5000);  // so that the next look finds the next box
    return text;
}

bool QuovarProcess::closeAndWait(DWORD ms) {
    PostMessageA(window_, WM_CLOSE, 0, 0);
    return WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0;
}

bool saveWindowPicture(HWND window, const std::string& path, size_t* colours) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    DWORD stride = (width * 3 + 3) & ~3;
    DWORD imageSize = stride * height;
    if (colours) {
        std::set<DWORD> seen;
        const auto* rows = static_cast<const unsigned char*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned char* p = rows + y * stride + x * 3;
                seen.insert(p[0] | p[1] << 8 | p[2] << 16);
            }
        *colours = seen.size();
    }
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + imageSize),
                          0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    bool ok = false;
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD done;
        ok = WriteFile(out, &file, sizeof file, &done, nullptr) &&
             WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &done, nullptr) &&
             WriteFile(out, bits, imageSize, &done, nullptr);
        CloseHandle(out);
    }
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}


HWND DrivenProcess::openMenu(DWORD ms) const {
    WindowSearch find{process_.dwProcessId, "#32768", true, nullptr};
    waitUntil(
        [&] {
            EnumWindows(findWindowOfClass, reinterpret_cast<LPARAM>(&find));
            return find.found != nullptr;
        },
        ms);
    return find.found;
}

POINT DrivenProcess::pointAtRowOf(HWND list, int row) const {
    RECT r = remoteRect(process_.hProcess, list, LVM_GETITEMRECT, static_cast<WPARAM>(row));
    POINT at{r.left + 20, (r.top + r.bottom) / 2};
    POINT screen = at;
    ClientToScreen(list, &screen);
    SetCursorPos(screen.x, screen.y);
    return at;
}

void QuovarProcess::rightClickRow(int row) const {
    POINT at = pointAtRowOf(control(8000), row);
    PostMessageA(control(8000), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageA(control(8000), WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

void DrivenProcess::doubleClickRowOf(HWND list, int row) const {
    POINT at = pointAtRowOf(list, row);
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        PostMessageA(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(at.x, at.y));
}

std::string DrivenProcess::columnTitle(HWND list, int column) const {
    struct Remote {
        LVCOLUMNA column;
        char text[256];
    };
    auto* remote = static_cast<Remote*>(VirtualAllocEx(process_.hProcess, nullptr, sizeof(Remote), MEM_COMMIT,
                                                       PAGE_READWRITE));
    if (!remote) return {};
    Remote local{};
    local.column.mask = LVCF_TEXT;
    local.column.pszText = remote->text;
    local.column.cchTextMax = sizeof local.text;
    WriteProcessMemory(process_.hProcess, remote, &local, sizeof local, nullptr);
    SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&remote->column));
    ReadProcessMemory(process_.hProcess, remote, &local, sizeof local, nullptr);
    VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
    local.text[sizeof local.text - 1] = '\0';
    return local.text;
}

void QuovarProcess::clickDropDown(int command) const {
    HWND toolbar = control(8002);
    RECT r = remoteRect(process_.hProcess, toolbar, TB_GETRECT, static_cast<WPARAM>(command));
    LPARAM at = MAKELPARAM(r.right - 4, (r.top + r.bottom) / 2);
    PostMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(toolbar, WM_LBUTTONUP, 0, at);
}

bool putClipboardText(const std::string& text) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    bool ok = SetClipboardData(CF_TEXT, block) != nullptr;
    CloseClipboard();
    return ok;
}

std::string clipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) text = p;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}
