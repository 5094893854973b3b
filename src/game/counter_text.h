#pragma once

#include <string>
#include <string_view>

namespace voltaro {

// The score lives only as the counter label's caption, so counting a goal goes through text.

// The number the text starts with (after blanks: a sign, digits, a fraction, an exponent); a
// text that starts with no number, the empty text included, is 0. Too large a number is an
// Overflow.
double textToNumber(std::string_view text);

// A whole number as its digits alone ("1", "-3"); any other number in up to 15 significant digits.
std::string numberToText(double number);

}  // namespace voltaro
