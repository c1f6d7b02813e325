// What tells one version of a server's file from the next. Each item remembers the validator of the
// file its save file holds the first bytes of, so that a resume never joins the bytes of two
// versions. Pure.
//
// A validator is kept as one text whose first letter says what it is: "E" and a strong ETag as the
// server sent it (quotes included), "L" and a Last-Modified date, "M" and the time an FTP server's
// MDTM gives. Empty: the server named none, and a resume trusts the bytes present, as it always did.
#pragma once
#include "lists/download_list.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>


// The log's line when the bytes present are dropped because the server's file changed.
constexpr char kServerFileChanged[] = "info>サーバーのファイルが変わったため、最初から取得し直します";

// A validator longer than kMaxValidatorLength, or one holding a control character, is not kept: it
// could not be sent back whole in a header line.

// The validator of an HTTP response: its ETag when that is a strong one (a weak one cannot ask for
// a range), else its Last-Modified date; empty for neither.
std::string httpValidator(std::string_view etag, std::string_view lastModified);

// The validator an MDTM reply gives: its time, for "213 " and digits (with an optional fraction);
// empty for any other reply.
std::string ftpValidator(std::string_view mdtmReply);

// "If-Range: <value>\r\n" for an HTTP validator; empty for none or an FTP one.
std::string ifRangeLine(std::string_view validator);

// True when what the server says of its file now shows it is not the one whose first bytes the save
// file holds: a total other than the remembered one, or a validator of the same kind with another
// value. What is unknown on either side (a total of 0, no validator) tells nothing.
bool serverFileChanged(std::string_view remembered, uint64_t rememberedTotal, std::string_view now, uint64_t nowTotal);
