#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "game/counter_text.h"
#include "game/integer.h"
#include "game/number.h"
#include "game/single.h"
#include "game/variant.h"
#include "scene/runtime_error.h"

namespace voltaro {
namespace {

void expectOverflow(auto&& action) {
    try {
        action();
        ADD_FAILURE() << "expected an Overflow";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), 6);
        EXPECT_EQ(error.report(), "Run-time error '6':\n\nOverflow");
    }
}

TEST(Integer, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(Integer::rounded(3360.5).value(), 3360);
    EXPECT_EQ(Integer::rounded(3361.5).value(), 3362);
    EXPECT_EQ(Integer::rounded(-0.5).value(), 0);
    EXPECT_EQ(Integer::rounded(-1.5).value(), -2);
    EXPECT_EQ(Integer::rounded(2.4999).value(), 2);
    EXPECT_EQ(Integer::rounded(6735.0).value(), 6735);
}

TEST(Integer, OverflowsOutsideSixteenBits) {
    EXPECT_EQ(Integer::rounded(32767.0).value(), 32767);
    EXPECT_EQ(Integer::rounded(32767.4).value(), 32767);
    EXPECT_EQ(Integer::rounded(-32768.0).value(), -32768);
    EXPECT_EQ(Integer::rounded(-32768.5).value(), -32768);  // ties to even stay inside
    expectOverflow([] { Integer::rounded(32767.5); });
    expectOverflow([] { Integer::rounded(-32769.0); });
    expectOverflow([] { Integer::rounded(std::numeric_limits<double>::quiet_NaN()); });
}

TEST(Variant, EmptyComparesAsZero) {
    const Variant empty;
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(number(empty), 0.0);
    EXPECT_TRUE(within(empty, Integer(), empty));  // 0 lies within 0..0
    EXPECT_TRUE(within(Single(0), empty, empty));
    EXPECT_FALSE(within(Single(20), empty, empty));
    const Variant held = Single(3360.5F);
    EXPECT_FALSE(held.isEmpty());
    EXPECT_EQ(number(held), 3360.5);
}

TEST(Within, BothBoundsInclusive) {
    EXPECT_TRUE(within(Single(1920), Variant(1920.0F), Variant(2775.0F)));
    EXPECT_TRUE(within(Single(2775), Variant(1920.0F), Variant(2775.0F)));
    EXPECT_FALSE(within(Single(2775.5F), Variant(1920.0F), Variant(2775.0F)));
    EXPECT_FALSE(within(Single(1919.9F), Variant(1920.0F), Variant(2775.0F)));
}

TEST(Single, SumsRoundToThirtyTwoBits) {
    EXPECT_EQ(add(16777216.0F, 1.0F), 16777216.0F);  // 2^24 + 1 is not a float
    EXPECT_EQ(subtract(6000.0F, 20.0F), 5980.0F);
    EXPECT_EQ(add(0.1F, 0.2F), 0.1F + 0.2F);
}

TEST(Single, OverflowIsARuntimeError) {
    const float big = std::numeric_limits<float>::max();
    expectOverflow([&] { add(big, big); });
    expectOverflow([&] { subtract(-big, big); });
}

TEST(CounterText, ReadsTheNumberTheTextStartsWith) {
    EXPECT_EQ(textToNumber("0"), 0.0);
    EXPECT_EQ(textToNumber("7"), 7.0);
    EXPECT_EQ(textToNumber(""), 0.0);
    EXPECT_EQ(textToNumber("Red"), 0.0);
    EXPECT_EQ(textToNumber("  12 goals"), 12.0);
    EXPECT_EQ(textToNumber("-3"), -3.0);
    EXPECT_EQ(textToNumber("2.5x"), 2.5);
    EXPECT_EQ(textToNumber("1e3"), 1000.0);
    EXPECT_EQ(textToNumber("1e"), 1.0);
    EXPECT_EQ(textToNumber("."), 0.0);
    EXPECT_EQ(textToNumber("-"), 0.0);
    EXPECT_EQ(textToNumber("1e-400"), 0.0);
    EXPECT_FALSE(std::signbit(textToNumber("-1e-400"))) << "too small is 0, with no sign";
    expectOverflow([] { textToNumber("1e400"); });
    expectOverflow([] { textToNumber(std::string(400, '9')); });
}

TEST(CounterText, WritesWholeNumbersAsDigitsAlone) {
    EXPECT_EQ(numberToText(1.0), "1");
    EXPECT_EQ(numberToText(8.0), "8");
    EXPECT_EQ(numberToText(-2.0), "-2");
    EXPECT_EQ(numberToText(-0.0), "0");
    EXPECT_EQ(numberToText(2.5), "2.5");
    EXPECT_EQ(numberToText(1e20), "1E+20");
}

}  // namespace
}  // namespace voltaro
