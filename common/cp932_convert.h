// The system's conversion of UTF-8 to code page 932, for the naming rules (see Cp932FromUtf8).
// Any thread.
#pragma once
#include <string>
#include <string_view>

// False for text that is not UTF-8, or that holds a character code page 932 has no form for: the
// system's best fit ("é" as "e") would name another file.
bool cp932FromUtf8(std::string_view utf8, std::string& out);
