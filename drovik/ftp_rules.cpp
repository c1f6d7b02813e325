#include "drovik/ftp_rules.h"
#include "common/url_rules.h"

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

FtpTarget ftpTargetOf(std::string_view folderUrl, int fieldPort, std::string_view fieldUser,
                      std::string_view fieldPassword) {
    UrlTarget url = urlTarget(folderUrl);
    if (!url.ok) return {false, {}, kNoPort, {}, {}, {}};
    FtpTarget target{true, url.host, url.port ? url.port : fieldPort, std::string(fieldUser),
                     std::string(fieldPassword), url.path};
    if (url.hasUser) {
        target.user = url.user;
        target.password = url.password;
    }
    return target;
}

std::string copiedFolderUrl(std::string_view folderUrl, int port) {
    constexpr int kFtpPort = 21;
    std::string url(folderUrl);
    size_t path = pathStart(url);
    if (port <= 0 || port == kFtpPort || path == std::string::npos || urlTarget(url).port != 0) return url;
    return url.insert(path, ":" + std::to_string(port));
}

bool nameFitsUrl(std::string_view name) {
    return name.find_first_of("/#") == std::string_view::npos && !hasControlCharacter(name);
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
