// Reading FTP replies and forming the commands that depend on the URL and the settings. Pure: the
// transfer thread feeds it the lines it received. Nothing here reads past the line it is given.
#pragma once
#include "engine/transfer_events.h"
#include <cstdint>
#include <string>
#include <string_view>

// The code of a reply line: the decimal value of its first three characters, read like atoi.
int replyCode(std::string_view line);

// Follows the lines of one reply. A first line whose fourth character is '-' opens a multi-line
// reply that goes on until a line with the same code followed by a blank; any other first line is
// the whole reply. Only the first line's code counts.
struct ReplyLines {
    int code = 0;
    bool started = false;
    bool multiLine = false;
    // Takes the next line; true when the reply is complete with it.
    bool take(std::string_view line);
};

// The steps of the dialogue, each with its own list of accepted and refused codes.
enum class FtpStep : uint8_t {
    Greeting, User, Password, ChangeDir, Type, ExtendedPassive, Passive, Restart, Retrieve, EndOfData, Logout
};

enum class Verdict : uint8_t {
    GoOn,        // the step succeeded
    ReadNext,    // a preliminary reply (120 to the greeting): the real one follows
    Retry,       // a refusal worth another attempt (before login only)
    Refused,     // a refusal that ends the transfer with the step's stage
    Unexpected,  // a code the step does not know: STAGE_UNEXPECTED_REPLY
};

Verdict judgeReply(FtpStep step, int code);

// The stage a refusal of `step` fails with.
FailStage refusalStage(FtpStep step);

// The data address of a 227 reply: the six numbers in the parentheses after the code, the first
// four the address bytes and the last two the port's high and low bytes.
struct PassiveAddress {
    bool readable = false;
    uint8_t address[4] = {};  // in the order the reply lists them, which is network order
    uint16_t port = 0;
};

PassiveAddress passiveAddress(std::string_view line);

// The data port of a 229 reply to EPSV: "(|||port|)" after the code, any printable character
// but a digit in place of '|'; 0 when there is none.
uint16_t extendedPassivePort(std::string_view line);

// A number found in a reply; values past 2^62 are held there.
struct ReplyNumber {
    bool found = false;
    uint64_t value = 0;
};

// The position a 350 reply to REST names: the first run of digits after the code.
ReplyNumber restartPosition(std::string_view line);

// The size a RETR reply announces: the number right after a '(' and before a blank, as in
// "(1234 bytes)". Not found when no parenthesis holds such a number.
ReplyNumber announcedSize(std::string_view line);

// "TYPE I\r\n", "TYPE A\r\n" or "TYPE E\r\n" for the FTP.type ids 2060, 2061, 2062. Binary for any
// other id, so that an unknown setting never changes the bytes of a file.
const char* typeCommand(uint32_t type);

// "CWD <folder of path>\r\n", the folder ending in '/'; empty for a file in the root (no CWD).
std::string changeDirLine(std::string_view path);

// "RETR <name>\r\n" with the server's own name of the file: the text after the path's last '/',
// exactly as the URL spells it (the save file's name may have been changed to suit Windows).
std::string retrieveLine(std::string_view path);

// "SIZE <name>\r\n" and "MDTM <name>\r\n", the name as retrieveLine sends it.
std::string sizeLine(std::string_view path);
std::string modifiedTimeLine(std::string_view path);

// The size a reply to SIZE gives: "213 " and digits only. Not found for any other reply.
ReplyNumber sizeReplyValue(std::string_view line);
