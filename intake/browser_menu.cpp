#include "intake/browser_menu.h"
#include "common/message_box.h"
#include "common/program_paths.h"
#include "common/text.h"
#include <cstring>
#include <string>
#include <windows.h>

namespace {

constexpr char kParentKey[] = "Software\\Microsoft\\Internet Explorer\\MenuExt";
constexpr char kEntryName[] = "リンクの列挙";
constexpr DWORD kContexts = 0x41;  // the page itself (0x01) and 0x40
constexpr unsigned kStyle = MB_TOPMOST | MB_TASKMODAL | MB_ICONWARNING;

BOOL CALLBACK countWindow(HWND window, LPARAM param) {
    char title[270] = {};
    GetWindowTextA(window, title, sizeof title);
    if (std::strncmp(title, "Quovar", 6) == 0) ++*reinterpret_cast<int*>(param);
    return TRUE;
}

}  // namespace

int countInstances() {
    int count = 0;
    EnumWindows(countWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

void registerBrowserMenu() {
    if (countInstances() != 1) return;  // another instance has added it already
    std::string entry = std::string(kParentKey) + "\\" + kEntryName;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, entry.c_str(), 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        showMessage("ＩＥのコンテキストメニュー追加に失敗", kCaptionReport, kStyle);
        return;
    }
    std::string_view page = textOf(programPaths.linkPagePath);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(page.data()),
                   static_cast<DWORD>(page.size() + 1));
    RegSetValueExA(key, "contexts", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kContexts), sizeof kContexts);
    RegCloseKey(key);
}

void removeBrowserMenu() {
    if (countInstances() != 0) return;  // another instance still runs
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kParentKey, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS) {
        showMessage("ＩＥのコンテキストメニューの 'リンクの列挙' の削除に失敗\n  気になる方は\n"
                    "[ HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt\\リンクの列挙 ]\n"
                    "  を削除してください",
                    kCaptionReport, kStyle);
        return;
    }
    RegDeleteKeyA(parent, kEntryName);
    RegCloseKey(parent);
}
