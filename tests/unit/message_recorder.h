// Answers the program's message boxes during a test and remembers them.
#pragma once
#include "common/message_box.h"
#include <string>
#include <vector>

struct ShownMessage {
    std::string text;
    std::string caption;
    unsigned flags;
};

class MessageRecorder {
  public:
    MessageRecorder() {
        shown().clear();
        setMessageHook([](const char* text, const char* caption, unsigned flags) {
            shown().push_back({text, caption, flags});
            return 1;  // IDOK
        });
    }
    ~MessageRecorder() { setMessageHook(nullptr); }
    const std::vector<ShownMessage>& messages() const { return shown(); }

  private:
    static std::vector<ShownMessage>& shown() {
        static std::vector<ShownMessage> list;
        return list;
    }
};
