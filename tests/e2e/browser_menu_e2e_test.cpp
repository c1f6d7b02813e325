// The browser's context-menu entry as the real program keeps it in the registry: added by the first
// instance, left to it by the second, removed by the last; a left-over entry is taken over, and a
// foreign window titled like the program stops both.
#include "tests/e2e/program_test.h"

namespace {

constexpr char kParent[] = "Software\\Microsoft\\Internet Explorer\\MenuExt";
constexpr char kEntry[] = "Software\\Microsoft\\Internet Explorer\\MenuExt\\リンクの列挙";

struct Entry {
    bool present = false;
    DWORD pageType = 0, contextsType = 0, contexts = 0;
    std::string page;
};

Entry readEntry() {
    Entry e;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kEntry, 0, KEY_READ, &key) != ERROR_SUCCESS) return e;
    e.present = true;
    char page[512] = {};
    DWORD size = sizeof page;
    RegQueryValueExA(key, nullptr, nullptr, &e.pageType, reinterpret_cast<BYTE*>(page), &size);
    e.page = page;
    size = sizeof e.contexts;
    RegQueryValueExA(key, "contexts", nullptr, &e.contextsType, reinterpret_cast<BYTE*>(&e.contexts), &size);
    RegCloseKey(key);
    return e;
}

void writeEntry(const std::string& page) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kEntry, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(page.c_str()),
                   static_cast<DWORD>(page.size() + 1));
    RegCloseKey(key);
}

void deleteEntry() {
    HKEY parent;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kParent, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS) return;
    RegDeleteKeyA(parent, "リンクの列挙");
    RegCloseKey(parent);
}

struct BrowserMenu : ProgramTest {
    void TearDown() override { deleteEntry(); }
};

TEST_F(BrowserMenu, TheFirstInstanceAddsTheEntryAndTheLastRemovesIt) {
    writeEntry("C:\\somewhere\\else\\EnumLinks.html");  // left over by a run that never ended
    std::string second = temp.path() + "Second\\";
    {
        QuovarProcess first(folder);
        ASSERT_TRUE(first.started());
        Entry e = readEntry();
        ASSERT_TRUE(e.present);
        EXPECT_EQ(e.page, folder + "EnumLinks.html");
        EXPECT_EQ(e.pageType, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(e.contextsType, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(e.contexts, 0x41u);
        {
            QuovarProcess other(second);
            ASSERT_TRUE(other.started());
            EXPECT_EQ(readEntry().page, folder + "EnumLinks.html") << "the second instance leaves it alone";
            EXPECT_TRUE(first.closeAndWait(30000));
            EXPECT_TRUE(readEntry().present) << "an instance still runs";
        }
        EXPECT_FALSE(readEntry().present) << "the last instance removes it";
    }
}

TEST_F(BrowserMenu, AForeignWindowTitledLikeTheProgramStopsBothAddingAndRemoving) {
    HWND foreign = CreateWindowExA(0, "STATIC", "Quovar fan page", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(foreign);
    {
        QuovarProcess q(folder);
        ASSERT_TRUE(q.started());
        EXPECT_FALSE(readEntry().present);
        writeEntry("C:\\kept\\EnumLinks.html");
        EXPECT_TRUE(q.closeAndWait(30000));
    }
    EXPECT_EQ(readEntry().page, "C:\\kept\\EnumLinks.html");
    DestroyWindow(foreign);
}

}  // namespace
