#pragma once
#include "lists/tab_strip.h"
#include <windows.h>

// The tab strip of the main window on the real tab control: each tab's data is its list's slot.
struct TabControl final : TabStrip {
    HWND control = nullptr;
    int count() override;
    int insert(int position, const char* text, int image, int slot) override;
    void remove(int position) override;
    void setText(int position, const char* text) override;
    int slotAt(int position) override;
    void select(int position) override;
};

// Sets the image of the tab whose data is `slot` (the first 20 tabs are looked at).
void setTabImageForSlot(HWND control, int slot, int image);
