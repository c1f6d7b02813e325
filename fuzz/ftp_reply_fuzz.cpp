// The control connection's replies as the FTP transfer reads them: multi-line replies followed to
// their end, the verdict of every step on each code, and the numbers taken from 227, 350 and 150
// replies. Every line also goes through the CWD former as if it were a URL path.
//
// Input: reply text; lines split at LF (a CR before it dropped), each in a block of its own length.
#include "engine/ftp_reply.h"
#include "fuzz_input.h"
#include <cstdio>
#include <string>

namespace {

constexpr uint64_t kHeld = uint64_t{1} << 62;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The run of digits at `pos`, when it is short enough to read exactly.
bool exactDigits(std::string_view text, size_t pos, uint64_t& value) {
    value = 0;
    size_t n = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos, ++n) {
        if (n == 18) return false;
        value = value * 10 + static_cast<uint64_t>(text[pos] - '0');
    }
    return true;
}

void checkReplyNumber(ReplyNumber number, std::string_view line, size_t at) {
    FUZZ_CHECK(number.value <= kHeld);
    uint64_t exact = 0;
    if (exactDigits(line, at, exact)) FUZZ_CHECK(number.value == exact);
}

void checkPassive(std::string_view line) {
    PassiveAddress pasv = passiveAddress(line);
    if (!pasv.readable) {
        FUZZ_CHECK(pasv.port == 0);
        return;
    }
    FUZZ_CHECK(line.size() > 4);
    size_t open = line.find('(', 4);
    FUZZ_CHECK(open != std::string_view::npos && line.find(')', open) != std::string_view::npos);
    FUZZ_CHECK(!(pasv.address[0] == 255 && pasv.address[1] == 255 && pasv.address[2] == 255 && pasv.address[3] == 255));
    // The address written out the usual way reads back the same.
    char again[80];
    std::snprintf(again, sizeof again, "227 Entering Passive Mode (%u,%u,%u,%u,%u,%u).", pasv.address[0],
                  pasv.address[1], pasv.address[2], pasv.address[3], pasv.port >> 8, pasv.port & 0xFF);
    PassiveAddress back = passiveAddress(again);
    FUZZ_CHECK(back.readable && back.port == pasv.port);
    for (int i = 0; i < 4; ++i) FUZZ_CHECK(back.address[i] == pasv.address[i]);
}

void checkExtendedPassive(std::string_view line) {
    uint16_t port = extendedPassivePort(line);
    if (port == 0) return;
    // The port sits between three delimiters and one, with its ')' after them.
    std::string text = std::to_string(port);
    FUZZ_CHECK(line.find(text + line[line.find('(', 4) + 1] + ")") != std::string_view::npos);
    FUZZ_CHECK(extendedPassivePort("229 Entering Extended Passive Mode (|||" + text + "|)") == port);
}

void checkRestart(std::string_view line) {
    ReplyNumber restart = restartPosition(line);
    size_t digit = 4;
    while (digit < line.size() && !isDigit(line[digit])) ++digit;
    FUZZ_CHECK(restart.found == (digit < line.size()));
    if (restart.found) {
        checkReplyNumber(restart, line, digit);
    } else {
        FUZZ_CHECK(restart.value == 0);
    }
}

void checkAnnouncedSize(std::string_view line) {
    ReplyNumber size = announcedSize(line);
    if (!size.found) {
        FUZZ_CHECK(size.value == 0);
        return;
    }
    // Found only as "(" digits " ", somewhere after the code.
    bool seen = false;
    for (size_t open = line.find('(', 4); open != std::string_view::npos && !seen; open = line.find('(', open + 1)) {
        size_t end = open + 1;
        while (end < line.size() && isDigit(line[end])) ++end;
        if (end > open + 1 && end < line.size() && line[end] == ' ') {
            uint64_t exact = 0;
            seen = !exactDigits(line, open + 1, exact) || exact == size.value;
        }
    }
    FUZZ_CHECK(seen);
    FUZZ_CHECK(size.value <= kHeld);
}

void checkChangeDir(std::string_view path) {
    std::string cwd = changeDirLine(path);
    // A file in the root (no '/' after the path's first character) needs no CWD.
    FUZZ_CHECK(cwd.empty() == (path.size() < 2 || path.find('/', 1) == std::string_view::npos));
    if (cwd.empty()) return;
    FUZZ_CHECK(cwd.size() >= 8 && cwd.compare(0, 4, "CWD ") == 0);
    FUZZ_CHECK(cwd.compare(cwd.size() - 3, 3, "/\r\n") == 0);
    std::string_view folder = std::string_view(cwd).substr(4, cwd.size() - 6);
    FUZZ_CHECK(path.substr(0, folder.size()) == folder);
    FUZZ_CHECK(path.find('/', folder.size()) == std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReplyLines reply;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::string_view received : receivedLines(text)) {
        ExactBytes line(received);
        std::string_view view = line.view();

        int code = replyCode(view);
        FUZZ_CHECK(code >= -99 && code <= 999);
        bool opening = !reply.started;
        bool complete = reply.take(view);
        if (opening) {
            FUZZ_CHECK(reply.code == code);
            FUZZ_CHECK(complete == !(view.size() >= 4 && view[3] == '-'));
        } else if (complete) {
            FUZZ_CHECK(code == reply.code && view.size() >= 4 && view[3] == ' ');
        }
        if (complete) {
            for (int step = 0; step <= static_cast<int>(FtpStep::Logout); ++step) {
                Verdict verdict = judgeReply(static_cast<FtpStep>(step), reply.code);
                FUZZ_CHECK(verdict <= Verdict::Unexpected);
                // Only the greeting knows a preliminary reply.
                if (verdict == Verdict::ReadNext) FUZZ_CHECK(step == 0 && reply.code == 120);
                (void)refusalStage(static_cast<FtpStep>(step));
            }
            reply = ReplyLines{};
        }

        checkPassive(view);
        checkExtendedPassive(view);
        checkRestart(view);
        checkAnnouncedSize(view);
        checkChangeDir(view);
        const char* type = typeCommand(static_cast<uint32_t>(code) + 2000);
        FUZZ_CHECK(type != nullptr && std::string_view(type).substr(0, 5) == "TYPE ");
    }
    return 0;
}
