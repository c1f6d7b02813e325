#include "ui/tab_control.h"
#include <commctrl.h>

int TabControl::count() { return static_cast<int>(SendMessageA(control, TCM_GETITEMCOUNT, 0, 0)); }

int TabControl::insert(int position, const char* text, int image, int slot) {
    TCITEMA tab{};
    tab.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
    tab.pszText = const_cast<char*>(text);
    tab.iImage = image;
    tab.lParam = slot;
    if (position > count()) position = count();
    return static_cast<int>(SendMessageA(control, TCM_INSERTITEMA, position, reinterpret_cast<LPARAM>(&tab)));
}

void TabControl::remove(int position) { SendMessageA(control, TCM_DELETEITEM, position, 0); }

void TabControl::setText(int position, const char* text) {
    TCITEMA tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = const_cast<char*>(text);
    SendMessageA(control, TCM_SETITEMA, position, reinterpret_cast<LPARAM>(&tab));
}

int TabControl::slotAt(int position) {
    TCITEMA tab{};
    tab.mask = TCIF_PARAM;
    if (!SendMessageA(control, TCM_GETITEMA, position, reinterpret_cast<LPARAM>(&tab))) return -1;
    return static_cast<int>(tab.lParam);
}

void TabControl::select(int position) { SendMessageA(control, TCM_SETCURSEL, position, 0); }

void setTabImageForSlot(HWND control, int slot, int image) {
    for (int position = 0; position < 20; ++position) {
        TCITEMA tab{};
        tab.mask = TCIF_PARAM;
        if (!SendMessageA(control, TCM_GETITEMA, position, reinterpret_cast<LPARAM>(&tab))) break;
        if (tab.lParam != slot) continue;
        tab.mask = TCIF_IMAGE;
        tab.iImage = image;
        SendMessageA(control, TCM_SETITEMA, position, reinterpret_cast<LPARAM>(&tab));
        return;
    }
}
