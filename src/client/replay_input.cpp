#include "client/replay_input.h"

#include <fast_float/fast_float.h>

#include <cmath>

namespace voltaro::replay {

namespace {

constexpr std::size_t kEchoedCharacters = 80;

// The length of the UTF-8 sequence at the start of `text`, or 0 when it is not one.
std::size_t sequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(i) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < smallest[length] || surrogate || code > 0x10FFFF ? 0 : length;
}

// Splits "[+-]digits[.digits][e[+-]digits]" into its parts; false when `text` is not of that
// form or has an exponent where none is allowed.
struct Decimal {
    bool negative = false;
    std::string_view whole, fraction;
    bool hasExponent = false;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t digitsAt(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    return end - from;
}

std::optional<Decimal> decimal(std::string_view text, bool exponentAllowed) {
    Decimal d;
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        d.negative = text[at++] == '-';
    }
    const std::size_t whole = digitsAt(text, at);
    if (whole == 0) {
        return std::nullopt;
    }
    d.whole = text.substr(at, whole);
    at += whole;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = digitsAt(text, at + 1);
        if (fraction == 0) {
            return std::nullopt;
        }
        d.fraction = text.substr(at + 1, fraction);
        at += 1 + fraction;
    }
    if (exponentAllowed && at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            ++at;
        }
        const std::size_t exponent = digitsAt(text, at);
        if (exponent == 0) {
            return std::nullopt;
        }
        d.hasExponent = true;
        at += exponent;
    }
    return at == text.size() ? std::optional(d) : std::nullopt;
}

void appendEscaped(std::string& out, unsigned value, const char* format) {
    char escape[12];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

}  // namespace

bool isUtf8(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = sequenceLength(text);
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

std::optional<std::int16_t> keyCode(std::string_view text) {
    const auto d = decimal(text, false);
    if (!d || d->fraction.find_first_not_of('0') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view digits =
        d->whole.substr(std::min(d->whole.find_first_not_of('0'), d->whole.size()));
    if (digits.size() > 5) {
        return std::nullopt;
    }
    long value = 0;
    for (const char c : digits) {
        value = value * 10 + (c - '0');
    }
    value = d->negative ? -value : value;
    if (value < -32768 || value > 32767) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

std::optional<float> propertyValue(std::string_view text) {
    if (!decimal(text, true)) {
        return std::nullopt;
    }
    if (text.front() == '+') {  // fast_float takes a minus sign only
        text.remove_prefix(1);
    }
    float value = 0;
    const auto [end, error] = fast_float::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string echo(std::string_view line) {
    std::string out;
    std::size_t characters = 0;
    while (!line.empty() && characters < kEchoedCharacters) {
        const std::size_t length = sequenceLength(line);
        const auto lead = static_cast<unsigned char>(line.front());
        if (length == 0) {
            appendEscaped(out, lead, "\\x%02X");
            line.remove_prefix(1);
        } else if (lead < 0x20 || lead == 0x7F) {
            appendEscaped(out, lead, "\\x%02X");
            line.remove_prefix(1);
        } else if (lead == 0xC2 && static_cast<unsigned char>(line[1]) < 0xA0) {
            // U+0080..U+009F: the C1 controls, which terminals act on like escapes.
            appendEscaped(out, static_cast<unsigned char>(line[1]), "\\u%04X");
            line.remove_prefix(2);
        } else if (lead == '\\') {
            out += "\\\\";
            line.remove_prefix(1);
        } else {
            out += line.substr(0, length);
            line.remove_prefix(length);
        }
        ++characters;
    }
    return line.empty() ? out : out + "...";
}

}  // namespace voltaro::replay
