#include "engine/ftp_reply.h"
#include "common/numbers.h"
#include <initializer_list>

namespace {

constexpr uint64_t kHeld = uint64_t{1} << 62;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool oneOf(int code, std::initializer_list<int> codes) {
    for (int c : codes)
        if (c == code) return true;
    return false;
}

// The digits starting at `pos`, as one number held at 2^62.
uint64_t digitRun(std::string_view text, size_t pos) {
    uint64_t value = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos)
        value = value >= kHeld / 10 ? kHeld : value * 10 + static_cast<uint64_t>(text[pos] - '0');
    return value;
}

// One of the six numbers of a 227 reply: blanks around one to three digits, at most 255.
bool byteField(std::string_view field, uint32_t& value) {
    size_t i = 0, end = field.size();
    while (i < end && isBlank(field[i])) ++i;
    while (end > i && isBlank(field[end - 1])) --end;
    if (i == end || end - i > 3) return false;
    value = 0;
    for (; i < end; ++i) {
        if (!isDigit(field[i])) return false;
        value = value * 10 + static_cast<uint32_t>(field[i] - '0');
    }
    return value <= 255;
}

}  // namespace

int replyCode(std::string_view line) { return readInt(line.substr(0, 3)); }

bool ReplyLines::take(std::string_view line) {
    if (!started) {
        started = true;
        code = replyCode(line);
        multiLine = line.size() >= 4 && line[3] == '-';
        return !multiLine;
    }
    return line.size() >= 4 && line[3] == ' ' && replyCode(line) == code;
}

Verdict judgeReply(FtpStep step, int code) {
    switch (step) {
    case FtpStep::Greeting:
        if (code == 220) return Verdict::GoOn;
        if (code == 120) return Verdict::ReadNext;
        return code == 421 ? Verdict::Retry : Verdict::Unexpected;
    case FtpStep::User:
        if (oneOf(code, {331, 230})) return Verdict::GoOn;
        return oneOf(code, {332, 421, 500, 501, 530}) ? Verdict::Retry : Verdict::Unexpected;
    case FtpStep::Password:
        if (oneOf(code, {202, 230})) return Verdict::GoOn;
        return oneOf(code, {332, 421, 500, 501, 502, 530}) ? Verdict::Retry : Verdict::Unexpected;
    case FtpStep::ChangeDir:
        if (code == 250) return Verdict::GoOn;
        return oneOf(code, {421, 500, 501, 502, 530, 550}) ? Verdict::Refused : Verdict::Unexpected;
    case FtpStep::Type:
        if (code == 200) return Verdict::GoOn;
        return oneOf(code, {421, 500, 501, 504, 530}) ? Verdict::Refused : Verdict::Unexpected;
    case FtpStep::ExtendedPassive:
        // Any refusal sends the client on to PASV, which older servers know.
        if (code == 229) return Verdict::GoOn;
        return code >= 400 && code < 600 ? Verdict::Refused : Verdict::Unexpected;
    case FtpStep::Passive:
        if (code == 227) return Verdict::GoOn;
        return oneOf(code, {421, 500, 501, 502, 530}) ? Verdict::Refused : Verdict::Unexpected;
    case FtpStep::Restart:
        if (code == 350) return Verdict::GoOn;
        return oneOf(code, {421, 500, 501, 502, 530}) ? Verdict::Refused : Verdict::Unexpected;
    case FtpStep::Retrieve:
        if (oneOf(code, {110, 125, 150, 250})) return Verdict::GoOn;
        return oneOf(code, {226, 421, 425, 426, 450, 451, 500, 501, 530, 550}) ? Verdict::Refused
                                                                               : Verdict::Unexpected;
    case FtpStep::EndOfData: return code == 226 ? Verdict::GoOn : Verdict::Refused;
    case FtpStep::Logout: return oneOf(code, {221, 226}) ? Verdict::GoOn : Verdict::Unexpected;
    }
    return Verdict::Unexpected;
}

FailStage refusalStage(FtpStep step) {
    switch (step) {
    case FtpStep::Greeting: return STAGE_GREETING;
    case FtpStep::User:
    case FtpStep::Password: return STAGE_LOGIN;
    case FtpStep::ChangeDir: return STAGE_CHANGE_DIR;
    case FtpStep::ExtendedPassive:
    case FtpStep::Passive: return STAGE_PASSIVE;
    case FtpStep::EndOfData: return STAGE_END_REPLY;
    case FtpStep::Logout: return STAGE_LOGOUT;
    case FtpStep::Type:
    case FtpStep::Restart:
    case FtpStep::Retrieve: break;
    }
    return STAGE_TRANSFER_TYPE;
}

PassiveAddress passiveAddress(std::string_view line) {
    PassiveAddress result;
    if (line.size() <= 4) return result;
    size_t open = line.find('(', 4);
    if (open == std::string_view::npos) return result;
    size_t close = line.find(')', open + 1);
    if (close == std::string_view::npos) return result;
    std::string_view text = line.substr(open + 1, close - open - 1);

    uint32_t numbers[6];
    size_t count = 0;
    for (size_t start = 0;;) {
        size_t comma = text.find(',', start);
        std::string_view field = text.substr(start, comma == std::string_view::npos ? text.size() - start : comma - start);
        if (count == 6 || !byteField(field, numbers[count])) return result;
        ++count;
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (count != 6) return result;
    // 255.255.255.255 is the one address the system's reader reports as unreadable.
    if (numbers[0] == 255 && numbers[1] == 255 && numbers[2] == 255 && numbers[3] == 255) return result;
    for (int i = 0; i < 4; ++i) result.address[i] = static_cast<uint8_t>(numbers[i]);
    result.port = static_cast<uint16_t>(numbers[4] * 256 + numbers[5]);
    result.readable = true;
    return result;
}

ReplyNumber restartPosition(std::string_view line) {
    for (size_t i = 4; i < line.size(); ++i)
        if (isDigit(line[i])) return {true, digitRun(line, i)};
    return {};
}

ReplyNumber announcedSize(std::string_view line) {
    // A '(' inside a file name is passed over: only a parenthesis opening a plain number counts.
    for (size_t open = line.find('(', 4); open != std::string_view::npos && open < line.size();
         open = line.find('(', open + 1)) {
        size_t blank = line.find(' ', open + 1);
        if (blank == std::string_view::npos) break;
        size_t digits = open + 1;
        while (digits < blank && isDigit(line[digits])) ++digits;
        if (digits > open + 1 && digits == blank) return {true, digitRun(line, open + 1)};
    }
    return {};
}

const char* typeCommand(uint32_t type) {
    switch (type) {
    case 2061: return "TYPE A\r\n";
    case 2062: return "TYPE E\r\n";
    default: return "TYPE I\r\n";
    }
}

std::string changeDirLine(std::string_view path) {
    std::string line = "CWD ";
    line.append(path);
    size_t end = line.size();
    while (end > 5 && line[end - 1] != '/') --end;
    if (end <= 5) return {};  // the file lies in the root: the folder to change into is the current one
    line.resize(end);
    line += "\r\n";
    return line;
}

std::string retrieveLine(std::string_view path) {
    std::string line = "RETR ";
    line.append(path.substr(path.rfind('/') + 1));
    line += "\r\n";
    return line;
}

std::string sizeLine(std::string_view path) { return "SIZE " + retrieveLine(path).substr(5); }

std::string modifiedTimeLine(std::string_view path) { return "MDTM " + retrieveLine(path).substr(5); }

ReplyNumber sizeReplyValue(std::string_view line) {
    // "213 <digits>": the size and nothing else, or the reply says something we do not know.
    if (replyCode(line) != 213 || line.size() < 5 || line[3] != ' ') return {};
    size_t end = 4;
    while (end < line.size() && isDigit(line[end])) ++end;
    std::string_view rest = line.substr(end);
    if (end == 4 || rest.find_first_not_of(" \t") != std::string_view::npos) return {};
    return {true, digitRun(line, 4)};
}

uint16_t extendedPassivePort(std::string_view line) {
    if (line.size() <= 4) return 0;
    size_t open = line.find('(', 4);
    if (open == std::string_view::npos || line.size() - open < 6) return 0;
    char d = line[open + 1];
    if (d < 33 || d > 126 || isDigit(d) || line[open + 2] != d || line[open + 3] != d) return 0;
    size_t start = open + 4, end = start;
    while (end < line.size() && isDigit(line[end]) && end - start < 5) ++end;
    if (end == start || end + 1 >= line.size() || line[end] != d || line[end + 1] != ')') return 0;
    uint64_t port = digitRun(line, start);
    return port > 65535 ? 0 : static_cast<uint16_t>(port);
}
