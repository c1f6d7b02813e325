#include "drovik/ftp_rules.h"

namespace {

constexpr int kDefaultPosition = 100;
constexpr std::string_view kScheme = "ftp://";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The number the digits at the start of `text` make, or `fallback` without any; no more than seven
// digits are taken, more than any screen has.
int leadingNumber(std::string_view text, int fallback) {
    if (text.empty() || !isDigit(text[0])) return fallback;
    int value = 0;
    for (size_t i = 0; i < text.size() && isDigit(text[i]); ++i)
        if (value < 1000000) value = value * 10 + (text[i] - '0');
    return value;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Where the path of an FTP URL begins: the '/' after its host.
size_t pathStart(std::string_view url) {
    size_t slashes = url.find("//");
    return slashes == std::string_view::npos ? slashes : url.find('/', slashes + 2);
}

}  // namespace

Placement placementOf(std::string_view commandLine) {
    std::string_view text = trimmed(commandLine);
    size_t comma = text.find(',');
    int x = leadingNumber(text, kDefaultPosition);
    int y = comma == std::string_view::npos ? kDefaultPosition : leadingNumber(text.substr(comma + 1), kDefaultPosition);
    return {x, y};
}

std::string folderUrlOf(std::string_view typed) {
    std::string_view url = trimmed(typed);
    if (url.substr(0, kScheme.size()) != kScheme) return {};
    std::string folder(url);
    // A folder's URL ends with '/'; a URL with no path at all is left for the listing to refuse.
    if (folder.back() != '/' && pathStart(folder) != std::string::npos) folder += '/';
    return folder;
}

int ftpPortOf(std::string_view typed) {
    constexpr int kHighestPort = 65535;
    int port = 0;
    for (char c : trimmed(typed)) {
        if (!isDigit(c)) return kNoPort;
        port = port * 10 + (c - '0');
        if (port > kHighestPort) return kNoPort;
    }
    return port;
}

FtpTarget splitFtpUrl(std::string_view url) {
    size_t slashes = url.find("//");
    size_t path = pathStart(url);
    if (path == std::string_view::npos || path == slashes + 2) return {false, {}, {}};
    return {true, std::string(url.substr(slashes + 2, path - slashes - 2)), std::string(url.substr(path))};
}

std::string parentFolderUrl(std::string_view folderUrl) {
    size_t root = pathStart(folderUrl);
    std::string_view inner = folderUrl.substr(0, folderUrl.size() - 1);  // without its closing '/'
    size_t previous = inner.rfind('/');
    if (root == std::string_view::npos || previous == std::string_view::npos || previous < root)
        return std::string(folderUrl);
    return std::string(folderUrl.substr(0, previous + 1));
}

std::string childFolderUrl(std::string_view folderUrl, std::string_view name) {
    return std::string(folderUrl) + std::string(name) + "/";
}
