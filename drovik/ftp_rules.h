// Drovik's rules on texts: where its dialog opens, which URLs it lists, how a listing's URL is
// split for the FTP client, and the URLs of a folder's parent and children. Platform-free.
#pragma once
#include <string>
#include <string_view>

struct Placement {
    int x, y;
};

// "x,y" as the manager passes its cursor position: x from the digits that begin the text, y from
// the digits right after the first comma; each is 100 where there are none.
Placement placementOf(std::string_view commandLine);

// The URL of a folder to list: the text without the blanks around it, which must begin with
// "ftp://", and with a '/' added after a path that has none at its end. Empty when the text is no
// FTP URL.
std::string folderUrlOf(std::string_view typed);

// The port a typed text names: its digits (blanks around them allowed) as a number up to 65535, 0
// (the client's default port) when there are none, and kNoPort for anything else: a larger number
// would wrap to another port when it is handed to the FTP client.
constexpr int kNoPort = -1;
int ftpPortOf(std::string_view typed);

// What a listing connects to. A port, user or password written in the URL comes before the
// field's, read as the manager reads them (percent-decoded), so that a copied URL is fetched from
// where it was listed; a user in the URL brings its own password, empty when it names none.
struct FtpTarget {
    bool ok;           // a host, a '/' after it, and a port (if the URL names one) of 1 to 65535
    std::string host;  // without user and port; an IPv6 literal without its brackets ("::1"), the
                       // form every internet client takes (Wine's hands it to a lookup that
                       // refuses brackets)
    int port;          // the URL's, else the field's (kNoPort when that names none)
    std::string user, password;
    std::string path;  // from the '/' after the host on
};
FtpTarget ftpTargetOf(std::string_view folderUrl, int fieldPort, std::string_view fieldUser,
                      std::string_view fieldPassword);

// The base of the URLs copied from a listing of `folderUrl` on `port`: the folder's URL, with
// ":port" after its host when the port is not FTP's own and the URL names none (the manager
// would go to port 21 otherwise).
std::string copiedFolderUrl(std::string_view folderUrl, int port);

// A name from the server can become part of a URL unless it holds a '/' (another folder, or with
// "://" another URL to the manager's paste), a '#' (what follows is a place in a page to the
// manager, never part of the file) or a control character (a CR LF would make lines of their own).
// Rows with other names are shown, but never copied or entered.
bool nameFitsUrl(std::string_view name);

// The folder above `folderUrl` (which ends with '/'); the root stays the root.
std::string parentFolderUrl(std::string_view folderUrl);
// The sub-folder `name` of `folderUrl`.
std::string childFolderUrl(std::string_view folderUrl, std::string_view name);
