#include "server/core/close_reason.h"

#include <gtest/gtest.h>

#include <string>

namespace voltaro::server {
namespace {

TEST(CloseReason, KeepsWhatFitsAndCutsTheRestAtACharactersBoundary) {
    const std::string fits(kMaxCloseReason, 'a');
    EXPECT_EQ(closeReason(fits), fits);
    EXPECT_EQ(closeReason(fits + "b"), fits);

    // Characters of two, three and four bytes that would each straddle the limit.
    for (const std::string character : {"é", "€", "😀"}) {
        const std::string before(kMaxCloseReason - 1, 'a');
        const std::string cut = closeReason(before + character + "z");
        EXPECT_EQ(cut, before) << character;
    }
    // One that ends exactly at the limit stays whole.
    const std::string upTo(kMaxCloseReason - 2, 'a');
    EXPECT_EQ(closeReason(upTo + "é" + "z"), upTo + "é");
    // A reason of two-byte characters alone: 61 whole ones, one byte short of the limit.
    std::string accents;
    for (int i = 0; i < 70; ++i) {
        accents += "é";
    }
    EXPECT_EQ(closeReason(accents), accents.substr(0, 122));
}

}  // namespace
}  // namespace voltaro::server
