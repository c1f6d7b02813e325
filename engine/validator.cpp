#include "engine/validator.h"
#include "common/url_rules.h"

namespace {

std::string kept(char kind, std::string_view value) {
    if (value.empty() || value.size() > kMaxValidatorLength || hasControlCharacter(value)) return {};
    return kind + std::string(value);
}

}  // namespace

std::string httpValidator(std::string_view etag, std::string_view lastModified) {
    bool strong = etag.size() >= 2 && etag.front() == '"' && etag.back() == '"';
    std::string validator = strong ? kept('E', etag) : std::string();
    return validator.empty() ? kept('L', lastModified) : validator;
}

std::string ftpValidator(std::string_view reply) {
    if (reply.substr(0, 4) != "213 ") return {};
    std::string_view time = reply.substr(4);
    while (!time.empty() && time.back() == ' ') time.remove_suffix(1);
    size_t digits = 0;
    while (digits < time.size() && time[digits] >= '0' && time[digits] <= '9') ++digits;
    // YYYYMMDDHHMMSS at least, then at most a fraction of a second.
    if (digits < 14) return {};
    if (digits < time.size()) {
        if (time[digits] != '.' || digits + 1 == time.size()) return {};
        for (char c : time.substr(digits + 1))
            if (c < '0' || c > '9') return {};
    }
    return kept('M', time);
}

std::string ifRangeLine(std::string_view validator) {
    if (validator.empty() || (validator[0] != 'E' && validator[0] != 'L')) return {};
    return "If-Range: " + std::string(validator.substr(1)) + "\r\n";
}

bool serverFileChanged(std::string_view remembered, uint64_t rememberedTotal, std::string_view now, uint64_t nowTotal) {
    if (rememberedTotal != 0 && nowTotal != 0 && rememberedTotal != nowTotal) return true;
    return !remembered.empty() && !now.empty() && remembered[0] == now[0] && remembered != now;
}
