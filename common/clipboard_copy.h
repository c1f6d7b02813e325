// The clipboard's text kept aside while a copy replaces it, so that a refused copy can put it back.
// Header-only: Drovik, which links none of the manager's code, uses it too.
#pragma once
#include "common/win_handles.h"
#include <cstring>
#include <windows.h>

// A block of its own holding the clipboard's CF_TEXT (the clipboard open), or none.
inline GlobalBlock copyOfClipboardText() {
    HANDLE data = GetClipboardData(CF_TEXT);
    SIZE_T size = data ? GlobalSize(data) : 0;
    const char* text = size ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (!text) return GlobalBlock();
    GlobalBlock copy(GlobalAlloc(GMEM_MOVEABLE, size));
    if (void* bytes = copy.valid() ? GlobalLock(copy.get()) : nullptr) {
        std::memcpy(bytes, text, size);
        GlobalUnlock(copy.get());
    }
    GlobalUnlock(data);
    return copy;
}
