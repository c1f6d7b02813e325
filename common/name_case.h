// Whether two file names (or host names) are one to Windows. Its file systems compare names in
// UTF-16 without regard to case: ASCII letters, and the double-byte Latin, Greek, Cyrillic and
// Roman numeral letters of code page 932 alike; and the code page's second codes of one character
// (the IBM rows beside the NEC-selected ones, a few signs) convert to the same UTF-16 character, so
// they too name one file. Pure.
#pragma once
#include <string>
#include <string_view>

// `text` with every character in the one form its case and code variants share: two texts name the
// same file exactly when their keys are equal.
std::string nameKey(std::string_view text);

// True when Windows takes `a` and `b` for one name.
bool sameName(std::string_view a, std::string_view b);
