// The tab strip as a plain array of slots, for tests of the list table.
#pragma once
#include "lists/tab_strip.h"
#include <string>
#include <vector>

struct FakeTabs final : TabStrip {
    struct Tab {
        std::string text;
        int image;
        int slot;
    };
    std::vector<Tab> tabs;
    int selected = -1;

    int count() override { return static_cast<int>(tabs.size()); }
    int insert(int position, const char* text, int image, int slot) override {
        if (position < 0 || position > count()) position = count();
        tabs.insert(tabs.begin() + position, Tab{text, image, slot});
        return position;
    }
    void remove(int position) override { tabs.erase(tabs.begin() + position); }
    void setText(int position, const char* text) override { tabs.at(position).text = text; }
    int slotAt(int position) override { return tabs.at(position).slot; }
    void select(int position) override { selected = position; }

    std::vector<int> slots() const {
        std::vector<int> s;
        for (const Tab& t : tabs) s.push_back(t.slot);
        return s;
    }
};
