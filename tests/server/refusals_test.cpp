// Whom the server counts a limit against, and how a flood of refusals reaches the log.
#include "server/core/refusals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "server/core/person_key.h"

namespace voltaro::server::test {
namespace {

using namespace std::chrono_literals;

TEST(PersonKey, OneHomeIsOneKeyWhateverAddressItTakes) {
    EXPECT_EQ(personKey("198.51.100.7"), "198.51.100.7");
    // A socket on :: sees an IPv4 peer as a mapped address: the same person as over IPv4.
    EXPECT_EQ(personKey("::ffff:198.51.100.7"), "198.51.100.7");
    // Every address of a /64 is one home's: a new one per connection must not be a new person.
    EXPECT_EQ(personKey("2001:db8:1:2:aaaa::1"), "2001:db8:1:2::/64");
    EXPECT_EQ(personKey("2001:db8:1:2:ffff:ffff:ffff:fffe"), "2001:db8:1:2::/64");
    EXPECT_NE(personKey("2001:db8:1:3::1"), personKey("2001:db8:1:2::1"));
    EXPECT_EQ(personKey("fe80::1%eth0"), personKey("fe80::2%wlan0"));
    EXPECT_EQ(personKey("not an address"), "not an address");
}

TEST(Refusals, AFloodIsCountedInFullAndLoggedNowAndThen) {
    std::vector<std::string> lines;
    Refusals refusals([&](const std::string& line) { lines.push_back(line); });
    for (int i = 0; i < 1000; ++i) {
        refusals.count(Refusal::CodeGuesses, "192.0.2.1", i * 1ms);
    }
    refusals.count(Refusal::Origin, "192.0.2.2", 1s);
    EXPECT_EQ(refusals.total(Refusal::CodeGuesses), 1000U);
    EXPECT_EQ(refusals.total(Refusal::Origin), 1U);
    EXPECT_EQ(refusals.total(Refusal::RoomQuota), 0U);
    // The first of each kind at once; the rest of the flood waits for the next line.
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0], "voltaro-server: refused (code_guesses) 192.0.2.1");
    EXPECT_EQ(lines[1], "voltaro-server: refused (origin) 192.0.2.2");

    refusals.count(Refusal::CodeGuesses, "192.0.2.3", Refusals::kLogEvery);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[2],
              "voltaro-server: refused (code_guesses) 192.0.2.3, and 999 more of this kind "
              "since the last line");
}

TEST(Refusals, EveryKindHasItsOwnName) {
    std::vector<std::string_view> names;
    for (int i = 0; i < static_cast<int>(Refusal::kCount); ++i) {
        const auto name = refusalName(static_cast<Refusal>(i));
        EXPECT_NE(name, "unknown");
        EXPECT_EQ(std::count(names.begin(), names.end(), name), 0) << name;
        names.push_back(name);
    }
}

}  // namespace
}  // namespace voltaro::server::test
