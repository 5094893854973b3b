#include "game/counter_text.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "scene/runtime_error.h"

namespace voltaro {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipDigits(std::string_view text, std::size_t at) {
    while (at < text.size() && isDigit(text[at])) {
        ++at;
    }
    return at;
}

// The leading number of the text, in the form fast_float reads ("-12.5e3"), or empty.
std::string leadingNumber(std::string_view text) {
    std::size_t at = text.find_first_not_of(" \t");
    if (at == std::string_view::npos) {
        return {};
    }
    std::string number;
    if (text[at] == '+' || text[at] == '-') {
        if (text[at] == '-') {
            number += '-';
        }
        ++at;
    }
    const std::size_t wholeStart = at;
    at = skipDigits(text, at);
    number += text.substr(wholeStart, at - wholeStart);
    bool anyDigit = at > wholeStart;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fractionEnd = skipDigits(text, at + 1);
        anyDigit = anyDigit || fractionEnd > at + 1;
        number += text.substr(at, fractionEnd - at);
        at = fractionEnd;
    }
    if (!anyDigit) {
        return {};
    }
    if (at < text.size() &&
        (text[at] == 'e' || text[at] == 'E' || text[at] == 'd' || text[at] == 'D')) {
        std::size_t digits = at + 1;
        if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) {
            ++digits;
        }
        const std::size_t end = skipDigits(text, digits);
        if (end > digits) {
            number += 'e';
            number += text.substr(at + 1, end - at - 1);
        }
    }
    return number;
}

}  // namespace

double textToNumber(std::string_view text) {
    const std::string number = leadingNumber(text);
    if (number.empty()) {
        return 0.0;
    }
    // fast_float rather than std::from_chars: the browser build's C++ library has no
    // floating-point from_chars. Out of range, it gives infinity or a signed 0.
    double value = 0.0;
    fast_float::from_chars(number.data(), number.data() + number.size(), value);
    if (std::isinf(value)) {
        throw RuntimeError::overflow();
    }
    const bool tooSmall = value == 0.0 && number.find_first_of("123456789") < number.find('e');
    return tooSmall ? 0.0 : value;  // too small to tell from 0 is 0, without a sign
}

std::string numberToText(double number) {
    if (number == 0.0) {
        return "0";  // never "-0"
    }
    if (std::trunc(number) == number && std::abs(number) < 1e15) {
        return std::to_string(static_cast<long long>(number));
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.15G", number);
    return text;
}

}  // namespace voltaro
