// The state file of an item fetched over several connections: which ranges of its part file are
// done, for which total and validator. Platform-free.
//
// The text, each line ended by LF:
//     QVPART 1
//     total <bytes>
//     validator <the item's validator, possibly empty>
//     done <begin> <end>          one line per done range, ascending, apart, end excluded
//     end
// The file is written whole and then put in place of the old one, so a reader sees either state;
// still, a file cut short, or with any line not of this form, tells nothing, and the item starts
// over rather than trust bytes it cannot account for.
#pragma once
#include "engine/range_plan.h"
#include <string>
#include <string_view>

struct PartState {
    uint64_t total = 0;
    std::string validator;
    std::vector<ByteRange> done;  // sorted, apart
};

std::string partStateText(const PartState& state);

// Reads a state file's text. Done ranges reaching past `partFileSize` (the part file's size now)
// are cut at it: a range counts only for bytes the part file can hold. False, with `state` emptied,
// for a text not of the form above.
bool readPartState(std::string_view text, uint64_t partFileSize, PartState& state);
