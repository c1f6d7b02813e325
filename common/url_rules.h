// The string rules that turn an item's URL into what a transfer and the save file need. Pure and
// platform-free.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The longest URL the program keeps, in bytes: signed download links run to a couple of thousand
// characters, and their servers refuse any cut form, so a longer URL is refused, never cut.
constexpr size_t kMaxUrlLength = 8192;

// Referer modes: the values of HTTP.useReferer (radio button ids of the HTTP settings page).
enum RefererMode : unsigned {
    REFERER_NONE = 2060,        // send none
    REFERER_DIRECTORY = 2061,   // the URL cut after its last '/'
    REFERER_INDEX = 2062,       // the same followed by "index.html"
    REFERER_URL = 2063,         // the item's URL unchanged
    REFERER_FIXED = 2064,       // the text of HTTP.referer
};

struct SplitUrl {
    bool ok;           // the URL has a host and a path
    std::string host;  // taken whole, so "host:8080" or "user@host" stay as they are
    std::string path;  // from the '/' after the host to the end
};

SplitUrl splitUrl(std::string_view url);

enum class UrlScheme : uint8_t { Http, Https, Ftp, Other };

// True when `host` is an IPv6 address as text ("::1", "2001:db8::1", "::ffff:192.0.2.1"): groups
// of 1 to 4 hex digits between single colons, eight of them or fewer with one "::" standing for
// the rest, the last two optionally written as a dotted IPv4 address. No brackets and no zone
// ("%eth0"): a URL names none, as its link-local address is only meaningful on one machine.
bool isIpv6Literal(std::string_view host);

// Where the URL's host ends when it is a bracketed IPv6 literal ("http://u@[::1]:80/" gives the
// place just past its ']'), so that those brackets are never read as anything else; 0 otherwise.
size_t ipv6HostEnd(std::string_view url);

// What a transfer connects to: the URL's scheme, its host without user or port, the port it names,
// and the user and password it carries, percent-decoded.
struct UrlTarget {
    bool ok;              // a host and a path, and a port (if any) of 1 to 65535 digits-only; a
                          // host with ':', '[' or ']' only as a bracketed IPv6 literal
    UrlScheme scheme;
    std::string host;     // an IPv6 literal without its brackets ("::1"), as the socket side takes it
    uint16_t port;        // 0: the URL names none
    bool hasUser;         // "user@" or "user:password@" before the host
    std::string user;
    std::string password;
    std::string path;     // from the '/' after the host up to a fragment ("#..."), which is never sent
};

UrlTarget urlTarget(std::string_view url);

// True when two URLs name one origin: the same scheme, host (in any case, as Windows compares
// names: a double-byte character's second byte is never a letter) and port to connect to.
// Credentials and cookies go to the item's own origin only.
bool sameOrigin(const UrlTarget& a, const UrlTarget& b, uint32_t listPort);

// The URL without its user and password ("http://user:pw@host/" -> "http://host/") and without
// its fragment: what may be shown to a server as a Referer, or used for folder names.
std::string publicUrl(std::string_view url);

// The port to connect to: the URL's own, else 443 for https, else the list's port for the scheme.
uint16_t connectPort(const UrlTarget& target, uint32_t listPort);

// The value of the Host line: the host (an IPv6 literal in its brackets), with ":port" when the
// URL names a port other than its scheme's default.
std::string hostLineValue(const UrlTarget& target);

// "%XX" replaced by the byte it stands for; a '%' without two hex digits after it stays as it is.
std::string percentDecoded(std::string_view text);

// True when `text` holds a control character (below 0x20, or 0x7F): such a URL would put its
// bytes into our request lines.
bool hasControlCharacter(std::string_view text);

// True when `text` holds a CR, LF or NUL: a byte that would end one of our command or header lines
// early, so that the rest of the text became a line of its own.
bool breaksLine(std::string_view text);

// The part of `target` (user, password, host or path) that holds such a byte once percent-decoded,
// as the log names it; null when none does. A user or password is sent decoded (USER, PASS, the
// Basic credentials), and a server may decode the path too.
const char* lineBreakingPart(const UrlTarget& target);

// What a list's subFolder setting appends to its save folder for `url` (see saveFolderFor): the
// URL's host and folders, each made a plain folder name.
std::string urlFolderPart(std::string_view url);

// `path` cut right after its last backslash that is not its final character (double-byte aware);
// without such a backslash only the first character is kept.
std::string folderOfPath(std::string_view path);

// The folder that holds `path`: everything up to and including its last backslash (double-byte
// aware), so a path that ends in a backslash names its own folder; empty without a backslash.
std::string containingFolder(std::string_view path);

// "Referer: %s\r\n" for the item URL in the given mode, or empty in mode REFERER_NONE.
std::string refererLine(unsigned mode, std::string_view itemUrl, std::string_view fixedReferer);

// Base64 of "user:password".
std::string basicCredentials(std::string_view user, std::string_view password);

// True when Windows takes `name` for a device (CON, NUL, COM1 ..., with any extension and in any
// case): what is written to such a file goes to the device.
bool isDeviceName(std::string_view name);

// One name made safe for Windows: forbidden and control characters become '_', a name of dots
// and blanks only becomes underscores, device names (CON, NUL, COM1 ...) get a leading '_'.
std::string safeFileName(std::string_view name);
