// The folder a new item is saved in: the list's save folder, plus the URL's host and folders when
// the list reproduces them. Whatever the URL holds, the result stays inside the save folder.
//
// A save folder typed into a dialog always becomes a folder that fits the path fields.
//
// Input: one byte choosing the save folder and the subFolder setting, the executable's path up to
// the first NUL (it gives the default folder when the list has none), then the URL.
#include "common/cp932.h"
#include "common/program_paths.h"
#include "common/save_folder.h"
#include "common/text.h"
#include "common/save_name.h"
#include "common/url_rules.h"
#include "fuzz_input.h"
#include "lists/download_list.h"
#include <iterator>
#include <string>

namespace {

// Save folders as users set them, in code page 932 ("D:\ダウンロード\" and "C:\表\").
constexpr std::string_view kSaveFolders[] = {
    "",  // none set: the default download folder
    "C:\\Quovar\\download\\",
    "D:\\\x83\x5F\x83\x45\x83\x93\x83\x8D\x81\x5B\x83\x68\\",
    "C:\\\x95\x5C\\",
    "\\\\server\\share\\dl\\",
};

bool onlyDotsAndBlanks(std::string_view part) {
    for (char c : part)
        if (c != '.' && c != ' ') return false;
    return true;
}

// Walks `path` a character at a time and checks the characters and folder names from `from` on.
void checkFolders(std::string_view path, size_t from) {
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); i += i < path.size() ? charLength(path, i) : 1) {
        bool separator = i == path.size() || (path[i] == '\\' && charLength(path, i) == 1);
        if (i < path.size() && charLength(path, i) == 1 && i >= from) {
            unsigned char c = static_cast<unsigned char>(path[i]);
            FUZZ_CHECK(c >= 0x20 && c != ':' && c != '/' && c != '*' && c != '?' && c != '"' && c != '<' &&
                       c != '>' && c != '|' && c != 0x7F);
        }
        if (!separator) continue;
        std::string_view part = path.substr(start, i - start);
        if (start >= from) FUZZ_CHECK(part.empty() ? i == path.size() : !onlyDotsAndBlanks(part));
        start = i + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint8_t choice = in.byte();
    std::string_view chosen = kSaveFolders[choice % std::size(kSaveFolders)];
    uint32_t subFolder = (choice >> 4) & 3;  // 1 reproduces the URL's folders; other values do not

    // The entry point forms the paths from the executable's path as the system gives it: zero
    // terminated, in a buffer of 260 bytes.
    std::string exe(in.piece().substr(0, 259));
    ExactBytes exeText(std::string_view(exe.c_str(), exe.size() + 1));
    formProgramPaths(programPaths, exeText.data());
    std::string_view programFolder = textOf(programPaths.programFolder);
    FUZZ_CHECK(std::string_view(exe).substr(0, programFolder.size()) == programFolder);
    FUZZ_CHECK(programFolder.empty() || programFolder.back() == '\\');
    std::string_view downloadFolder = textOf(programPaths.downloadFolder);
    FUZZ_CHECK(downloadFolder.substr(0, programFolder.size()) == programFolder);

    ExactBytes url(in.rest());
    // The same bytes typed into a dialog as a save folder: a folder, with room for its zero.
    std::string typedFolder = normalSaveFolder(url.view(), programFolder);
    FUZZ_CHECK(typedFolder.size() <= kSaveFolderLength);
    FUZZ_CHECK(containingFolder(typedFolder).size() == typedFolder.size());

    auto list = std::make_unique<DownloadList>();
    copyText(list->saveFolderPath, chosen);
    list->subFolder = subFolder;
    std::string folder = saveFolderFor(*list, url.view());

    std::string_view saveFolder = textOf(list->saveFolderPath);
    FUZZ_CHECK(saveFolder == (chosen.empty() ? downloadFolder : chosen));
    FUZZ_CHECK(std::string_view(folder).substr(0, saveFolder.size()) == saveFolder);
    std::string_view added = std::string_view(folder).substr(saveFolder.size());
    if (subFolder != 1) {
        FUZZ_CHECK(added.empty());
        return 0;
    }
    // The folders are the path's: a query or fragment adds none.
    FUZZ_CHECK(added == urlFolderPart(url.view().substr(0, pathEnd(url.view()))));
    if (chosen.empty()) return 0;  // the default folder comes from the fuzzed executable path

    // No ':' past the drive, no control or wildcard characters from the URL, and no folder name
    // Windows would read as "here" or "up". (':' is never the second byte of a character.)
    size_t afterDrive = folder.size() >= 2 && folder[1] == ':' ? 2 : 0;
    FUZZ_CHECK(folder.find(':', afterDrive) == std::string::npos);
    checkFolders(folder, saveFolder.size());
    return 0;
}
