// The name a new item's file gets from its URL, and the finishing steps every name taken from
// outside goes through (the URL's, or the one a server gives). Pure and platform-free: turning
// UTF-8 into code page 932 needs the system's tables, so the caller hands that conversion in.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Converts UTF-8 text to code page 932. False when the text is not UTF-8 or some character of it
// has no code page 932 form of its own (a look-alike does not count); `out` is then unspecified.
using Cp932FromUtf8 = bool (*)(std::string_view utf8, std::string& out);

// The longest name we give a file: what one name of a Windows folder can hold, counted in the
// bytes of the code page (a double-byte character is one character there, so this is safe).
constexpr size_t kMaxNameBytes = 255;

// The longest save path a file can be opened at through the code page's file functions (their
// limit of 260 characters, less the terminating zero).
constexpr size_t kMaxSavePathBytes = 259;

// `text` percent-decoded and, where the decoded bytes are UTF-8 beyond ASCII, in code page 932.
// Text without escapes is taken as it stands (pasted text already is code page 932); escapes whose
// bytes are not UTF-8, or name a character code page 932 lacks, leave the text encoded.
std::string decodedName(std::string_view text, Cp932FromUtf8 convert);

// One name made fit to be a file of its own: the safe-name rule, the trailing dots and blanks
// that Windows would silently drop removed, cut to kMaxNameBytes keeping its extension.
std::string finishedName(std::string_view name);

// Where the URL's path ends: at its first '?' or '#' after the host (a password may hold either),
// else at the URL's end.
size_t pathEnd(std::string_view url);

// The name a new item of `url` is saved under: the last segment of its path without query and
// fragment, decoded (decodedName), finished (finishedName); "index.html" when nothing is left.
std::string registrationName(std::string_view url, Cp932FromUtf8 convert);

// The extension of a name: from its last '.' (double-byte aware) when that is not its first
// character, else empty.
std::string_view extensionOf(std::string_view name);

// `name` with `suffix` put before its extension, its stem cut (never inside a double-byte
// character) so that the whole fits in `room` bytes. The extension is dropped only when even it
// and the suffix do not fit.
std::string nameWithin(std::string_view name, std::string_view suffix, size_t room);
