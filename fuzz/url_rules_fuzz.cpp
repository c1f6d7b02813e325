// The URL rules that give a transfer its host and path and the save file its name: splitUrl,
// urlTarget, safeFileName, folderOfPath, registrationName and the name a
// Content-Disposition value gives.
//
// Input: one URL (or path), in a block of exactly its length.
#include "common/cp932.h"
#include "common/save_name.h"
#include "common/url_rules.h"
#include "engine/content_disposition.h"
#include "fuzz_input.h"
#include <string>

namespace {

bool forbiddenInName(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' ||
           c == '<' || c == '>' || c == '|';
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows takes a name as a device when the part before its first dot, without trailing blanks, is
// one of the reserved names.
bool namesDevice(std::string_view name) {
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = upper(c);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device) return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// A name Windows takes as one plain file or folder name.
void checkSafeName(std::string_view name) {
    bool onlyDots = true;
    for (size_t i = 0; i < name.size(); i += charLength(name, i)) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (charLength(name, i) == 2) {
            onlyDots = false;
            continue;
        }
        FUZZ_CHECK(!forbiddenInName(c));
        if (c != '.' && c != ' ') onlyDots = false;
    }
    FUZZ_CHECK(name.empty() || !onlyDots);
    FUZZ_CHECK(!namesDevice(name));
}

void checkSafeFileName(std::string_view from) {
    std::string name = safeFileName(from);
    checkSafeName(name);
    FUZZ_CHECK(name.size() == from.size() || name.size() == from.size() + 1);
    FUZZ_CHECK(safeFileName(name) == name);  // a safe name stays as it is
}

void checkSplit(std::string_view url) {
    SplitUrl split = splitUrl(url);
    size_t slashes = 0;
    for (char c : url) slashes += c == '/';
    FUZZ_CHECK(split.ok == (slashes >= 3));
    if (!split.ok) {
        FUZZ_CHECK(split.host.empty() && split.path.empty());
        return;
    }
    FUZZ_CHECK(split.host.find('/') == std::string::npos);
    FUZZ_CHECK(!split.path.empty() && split.path[0] == '/');
    FUZZ_CHECK(split.host.size() + split.path.size() < url.size());
    FUZZ_CHECK(url.substr(url.size() - split.path.size()) == split.path);
    FUZZ_CHECK(url.substr(url.size() - split.path.size() - split.host.size(), split.host.size()) == split.host);
}

// A target is the split URL taken apart further: its host has no user and no port left in it (a
// colon only inside an IPv6 literal), and a port is always one a socket can use. The Host line
// written from it reads back as the same host and port.
void checkTarget(std::string_view url) {
    UrlTarget target = urlTarget(url);
    SplitUrl split = splitUrl(url);
    if (!target.ok) return;
    FUZZ_CHECK(split.ok && target.path == split.path.substr(0, split.path.find('#')));  // a fragment is never sent
    FUZZ_CHECK(!target.host.empty() && target.host.find('@') == std::string::npos);
    FUZZ_CHECK(split.host.find(target.host) != std::string::npos);
    FUZZ_CHECK(target.hasUser == (split.host.find('@') != std::string::npos));
    FUZZ_CHECK(connectPort(target, 21) != 0);
    bool ipv6 = isIpv6Literal(target.host);
    FUZZ_CHECK(findLastChar(target.host, '[') == std::string::npos &&
               findLastChar(target.host, ']') == std::string::npos);
    FUZZ_CHECK(ipv6 == (target.host.find(':') != std::string::npos));
    std::string line = hostLineValue(target);
    FUZZ_CHECK(line.rfind(ipv6 ? "[" + target.host + "]" : target.host, 0) == 0);
    std::string_view beforeHost = url.substr(0, url.size() - split.path.size() - split.host.size());
    UrlTarget again = urlTarget(std::string(beforeHost) + line + "/");
    FUZZ_CHECK(again.ok && again.host == target.host && hostLineValue(again) == line);
}

void checkFolderOfPath(std::string_view path) {
    std::string folder = folderOfPath(path);
    FUZZ_CHECK(path.substr(0, folder.size()) == folder);
    size_t cut = std::string_view::npos;
    for (size_t i = 0; i < path.size(); i += charLength(path, i))
        if (path[i] == '\\' && charLength(path, i) == 1 && i + 1 < path.size()) cut = i;
    if (cut != std::string_view::npos) {
        FUZZ_CHECK(folder.size() == cut + 1);
    } else {
        FUZZ_CHECK(folder.size() == (path.empty() ? 0 : charLength(path, 0)));
    }
}

// A conversion that takes every byte as it comes, so that decoded bytes of any kind reach the
// finishing rules.
bool asItComes(std::string_view utf8, std::string& out) {
    out.assign(utf8);
    return true;
}

// A finished name: safe, within its limit, without the trailing dots and blanks Windows drops.
void checkFinishedName(std::string_view name) {
    checkSafeName(name);
    FUZZ_CHECK(name.size() <= kMaxNameBytes);
    FUZZ_CHECK(name.empty() || (name.back() != '.' && name.back() != ' '));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ExactBytes url(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string_view view = url.view();

    checkSplit(view);
    checkTarget(view);
    checkSafeFileName(view);
    checkFolderOfPath(view);

    std::string registered = registrationName(view, asItComes);
    FUZZ_CHECK(!registered.empty());
    checkFinishedName(registered);
    checkFinishedName(dispositionName(view, asItComes));
    return 0;
}
