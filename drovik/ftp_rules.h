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

struct FtpTarget {
    bool ok;           // there is a host, and a '/' after it
    std::string host;  // between "//" and the next '/'
    std::string path;  // from that '/' on
};
FtpTarget splitFtpUrl(std::string_view url);

// The folder above `folderUrl` (which ends with '/'); the root stays the root.
std::string parentFolderUrl(std::string_view folderUrl);
// The sub-folder `name` of `folderUrl`.
std::string childFolderUrl(std::string_view folderUrl, std::string_view name);
