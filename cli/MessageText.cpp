#include "cli/MessageText.h"

#include <cstdint>
#include <cstdio>

namespace {

// The length of the valid UTF-8 character at text[at] of two or more bytes; 0 when the bytes
// there are not one (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
size_t Utf8Length(std::string_view text, size_t at, uint32_t* code) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 ? 2 : 0;
    if (length == 0 || lead > 0xf4 || at + length > text.size()) {
        return 0;
    }
    uint32_t value = lead & (0x7f >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3f);
    }
    constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) {
        return 0;
    }
    *code = value;
    return length;
}

// Characters a terminal acts on or that reorder what it shows: the C1 controls and the
// direction embeddings, overrides and isolates.
bool Invisible(uint32_t code) {
    return code <= 0x9f || (code >= 0x202a && code <= 0x202e) || (code >= 0x2066 && code <= 0x2069);
}

void AppendByte(std::string* shown, unsigned char c) {
    char escape[16];
    std::snprintf(escape, sizeof escape, "\\x%02x", c);
    *shown += escape;
}

void AppendCharacter(std::string_view text, size_t at, size_t length, uint32_t code,
                     std::string* shown) {
    if (!Invisible(code)) {
        shown->append(text, at, length);
    } else if (code >= 0x100) {
        char escape[16];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code));
        *shown += escape;
    } else {
        for (size_t i = 0; i < length; ++i) {
            AppendByte(shown, static_cast<unsigned char>(text[at + i]));
        }
    }
}

}  // namespace

std::string EscapedText(std::string_view text) {
    const size_t end = text.size() > kLongestShownText ? kLongestShownText : text.size();
    std::string shown;
    shown.reserve(end);
    size_t at = 0;
    while (at < end) {
        const auto c = static_cast<unsigned char>(text[at]);
        uint32_t code = 0;
        const size_t length = c < 0x80 ? 1 : Utf8Length(text, at, &code);
        if (c == '\t' || c == '\n' || c == '\r') {
            shown += c == '\t' ? "\\t" : c == '\n' ? "\\n" : "\\r";
        } else if (c < 0x20 || c == 0x7f || length == 0) {
            AppendByte(&shown, c);
        } else if (length == 1) {
            shown += static_cast<char>(c);
        } else {
            AppendCharacter(text, at, length, code, &shown);
        }
        at += length == 0 ? 1 : length;
    }
    if (end < text.size()) {
        shown += "... (" + std::to_string(text.size()) + " bytes)";
    }
    return shown;
}

std::string QuotedText(std::string_view text) {
    return "'" + EscapedText(text) + "'";
}
