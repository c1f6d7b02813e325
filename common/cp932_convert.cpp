#include "common/cp932_convert.h"
#include <windows.h>

bool cp932FromUtf8(std::string_view utf8, std::string& out) {
    out.clear();
    if (utf8.empty()) return true;
    int size = static_cast<int>(utf8.size());
    int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (wide <= 0) return false;
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, text.data(), wide);
    BOOL usedDefault = FALSE;
    int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text.data(), wide, nullptr, 0, nullptr, &usedDefault);
    if (bytes <= 0 || usedDefault) return false;
    out.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text.data(), wide, out.data(), bytes, nullptr, &usedDefault);
    return !usedDefault;
}
