// The state file reader: whatever the text, what it accepts stays inside the part file and the
// total, is sorted and apart, and is written back to a text that reads the same.
//
// Input: the part file's size (8 bytes), then the state file's text.
#include "engine/part_state.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    uint64_t partFileSize = input.number<uint64_t>();
    ExactBytes text(input.rest());
    PartState state;
    if (!readPartState(text.view(), partFileSize, state)) {
        FUZZ_CHECK(state.total == 0 && state.done.empty() && state.validator.empty());
        return 0;
    }
    uint64_t lastEnd = 0;
    for (size_t i = 0; i < state.done.size(); ++i) {
        const ByteRange& range = state.done[i];
        FUZZ_CHECK(range.begin < range.end && range.end <= state.total && range.end <= partFileSize);
        FUZZ_CHECK(i == 0 || range.begin > lastEnd);
        lastEnd = range.end;
    }
    FUZZ_CHECK(doneBytes(state.done) <= state.total);
    PartState again;
    FUZZ_CHECK(readPartState(partStateText(state), UINT64_MAX, again));
    FUZZ_CHECK(again.total == state.total && again.validator == state.validator && again.done == state.done);
    return 0;
}
