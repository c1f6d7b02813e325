#include "common/message_box.h"
#include <memory>
#include <new>
#include <string>
#include <vector>
#include <windows.h>

namespace {
MessageHook messageHook = nullptr;
HWND reportWindow = nullptr;

struct Report {
    std::string text, caption;
    unsigned flags;
};

// Plain values only: a thread-local object with a destructor makes the C++ runtime register a
// per-thread clean-up, which can hang the process's exit after many short-lived threads.
thread_local int holdDepth = 0;
thread_local std::vector<Report>* heldBack = nullptr;  // made when a box is held back, gone when shown

int showNow(const char* text, const char* caption, unsigned flags, HWND owner) {
    if (messageHook) return messageHook(text, caption, flags);
    return MessageBoxA(owner, text, caption, flags);
}

// Shows the report here, or hands it to the report window's thread.
int deliver(const char* text, const char* caption, unsigned flags) {
    HWND window = reportWindow;
    if (!window || GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
        return showNow(text, caption, flags, nullptr);
    auto* report = new (std::nothrow) Report{text, caption, flags};
    if (!report) return IDOK;
    if (!PostMessageA(window, WM_SHOW_REPORT, 0, reinterpret_cast<LPARAM>(report))) delete report;
    return IDOK;
}
}  // namespace

void setMessageHook(MessageHook hook) { messageHook = hook; }
void setReportWindow(void* window) { reportWindow = static_cast<HWND>(window); }

int showMessage(const char* text, const char* caption, unsigned flags) {
    if (holdDepth > 0) {
        if (!heldBack) heldBack = new (std::nothrow) std::vector<Report>;
        if (heldBack) heldBack->push_back({text, caption, flags});
        return IDOK;
    }
    return deliver(text, caption, flags);
}

void holdMessages() { ++holdDepth; }

void releaseMessages() {
    if (--holdDepth > 0 || !heldBack) return;
    std::unique_ptr<std::vector<Report>> reports(heldBack);
    heldBack = nullptr;
    for (const Report& r : *reports) deliver(r.text.c_str(), r.caption.c_str(), r.flags);
}

void showPostedReport(intptr_t report) {
    std::unique_ptr<Report> r(reinterpret_cast<Report*>(report));
    showNow(r->text.c_str(), r->caption.c_str(), r->flags, reportWindow);
}

unsigned noticeWarning() { return MB_ICONWARNING | MB_TOPMOST | MB_TASKMODAL; }
unsigned noticeInformation() { return MB_ICONINFORMATION | MB_TOPMOST | MB_TASKMODAL; }

void showSystemError() {
    DWORD code = GetLastError();
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0x400, reinterpret_cast<char*>(&text), 0, nullptr);
    char caption[32];
    wsprintfA(caption, "error code = %d", static_cast<int>(code));
    showMessage(text ? text : "", caption, MB_ICONINFORMATION);
    if (text) LocalFree(text);
}
