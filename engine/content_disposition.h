// The file name a server gives in a Content-Disposition header (filename and filename*, quoted
// or not), made a name of the save folder: no folder parts, safe, never "." or "..". Pure.
#pragma once
#include "common/save_name.h"
#include <string>
#include <string_view>

// The finished name (see finishedName) the header's value gives, or empty when it gives none we
// can use. filename* (in UTF-8 or ISO-8859-1) wins over filename when both give one.
std::string dispositionName(std::string_view value, Cp932FromUtf8 convert);
