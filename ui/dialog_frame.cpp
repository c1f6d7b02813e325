#include "ui/dialog_frame.h"
#include "common/url_rules.h"
#include "resources/resource.h"

void placeBesideCursor(HWND dialog, int left, HWND insertAfter) {
    POINT cursor{};
    GetCursorPos(&cursor);
    int x = cursor.x - left;
    SetWindowPos(dialog, insertAfter, x < 0 ? 0 : x, cursor.y, 0, 0, SWP_NOSIZE | (insertAfter ? 0 : SWP_NOZORDER));
}

void placeAroundCursor(HWND dialog) {
    RECT own{};
    GetWindowRect(dialog, &own);
    POINT cursor{};
    GetCursorPos(&cursor);
    int x = cursor.x - (own.right - own.left) / 3;
    SetWindowPos(dialog, nullptr, x < 0 ? 0 : x, own.top < 0 ? 0 : own.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void setProgramIcon(HWND dialog) {
    SendMessageA(dialog, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM))));
}

std::string fieldText(HWND dialog, int id) {
    HWND field = GetDlgItem(dialog, id);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(field)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(field, text.data(), static_cast<int>(text.size()))));
    return text;
}

void limitUrlField(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kMaxUrlLength + 1, 0); }
