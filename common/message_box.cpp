#include "common/message_box.h"
#include <windows.h>

namespace {
MessageHook messageHook = nullptr;
}

void setMessageHook(MessageHook hook) { messageHook = hook; }

int showMessage(const char* text, const char* caption, unsigned flags) {
    if (messageHook) return messageHook(text, caption, flags);
    return MessageBoxA(nullptr, text, caption, flags);
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
