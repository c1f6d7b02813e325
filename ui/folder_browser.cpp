#include "ui/folder_browser.h"
#include "common/message_box.h"
#include "common/program_paths.h"
#include "common/save_folder.h"
#include "common/text.h"
#include "common/url_rules.h"
#include <objbase.h>
#include <shlobj.h>
#include <cstring>
#include <string>

namespace {

int CALLBACK browserEvent(HWND browser, UINT event, LPARAM param, LPARAM start) {
    if (event == BFFM_INITIALIZED) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, start);
    } else if (event == BFFM_SELCHANGED) {
        char path[MAX_PATH] = {};
        SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(param), path);
        SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
    }
    return 0;
}

// The browser of the new style runs on COM; the calling thread is set up for it while it is shown.
class ComApartment {
  public:
    ComApartment() : ready_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (ready_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool ready_;
};

}  // namespace

bool browseForFolder(HWND owner, char* path) {
    std::string start(path, strnlen(path, MAX_PATH - 1));
    if (!start.empty() && containingFolder(start).size() == start.size()) start.pop_back();

    ComApartment apartment;
    BROWSEINFOA browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = "ＤＬファイルの保存場所を指定";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_NEWDIALOGSTYLE;
    browse.lpfn = browserEvent;
    browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
    LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
    if (!chosen) return false;

    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) {
        showMessage("SHGetMallocに失敗しました若干のメモリが失われます", "エラー", MB_ICONERROR | MB_TOPMOST | MB_TASKMODAL);
        return false;
    }
    char folder[MAX_PATH] = {};
    bool found = SHGetPathFromIDListA(chosen, folder) != FALSE;
    allocator->Free(chosen);
    allocator->Release();
    if (!found) return false;  // a place with no file-system path, which the flags should not let through
    copyText(path, MAX_PATH, folder);
    if (containingFolder(folder).size() != textOf(folder).size()) appendText(path, MAX_PATH, "\\");
    return true;
}

void browseIntoEdit(HWND edit) {
    char path[MAX_PATH] = {};
    GetWindowTextA(edit, path, sizeof path);
    if (browseForFolder(GetAncestor(edit, GA_ROOT), path)) SetWindowTextA(edit, path);
}

std::string typedSaveFolder(std::string_view typed, std::string_view otherwise) {
    std::string folder = normalSaveFolder(typed, textOf(programPaths.programFolder));
    if (folder.empty()) folder = otherwise;
    if (folder.empty()) folder = textOf(programPaths.downloadFolder);
    return folder;
}
