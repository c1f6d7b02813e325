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
