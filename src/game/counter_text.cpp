#include "game/counter_text.h"

#include <algorithm>
#include <charconv>
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

// The leading number of the text, in the form from_chars reads ("-12.5e3"), or empty.
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

// Roughly where the number's first significant digit stands: positive for numbers of 1 or more.
long decimalOrder(std::string_view number) {
    const std::size_t exponentAt = number.find('e');
    long order = 0;
    if (exponentAt != std::string_view::npos) {
        std::string_view exponent = number.substr(exponentAt + 1);
        const bool negative = !exponent.empty() && exponent[0] == '-';
        if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) {
            exponent.remove_prefix(1);
        }
        for (char c : exponent) {
            order = std::min(order * 10 + (c - '0'), 100000L);
        }
        order = negative ? -order : order;
    }
    std::string_view mantissa = number.substr(0, exponentAt);
    const std::size_t first = mantissa.find_first_of("123456789");
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    if (first == std::string_view::npos) {
        return -1;
    }
    return order + (first < point ? static_cast<long>(point - first)
                                  : -static_cast<long>(first - point - 1));
}

}  // namespace

double textToNumber(std::string_view text) {
    const std::string number = leadingNumber(text);
    if (number.empty()) {
        return 0.0;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Out of range either way: too large is an Overflow, too small to tell from 0 is 0.
        if (decimalOrder(number) > 0) {
            throw RuntimeError::overflow();
        }
        return 0.0;
    }
    return value;
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
