// The network layer's rules that need no socket: the outgoing queue, the message rate, the
// origin rule, what counts as a nearby peer, and the command line.
#include <gtest/gtest.h>

#include "server/local_network.h"
#include "server/message_rate.h"
#include "server/origin_policy.h"
#include "server/outgoing_queue.h"
#include "server/server_options.h"

namespace voltaro::server {
namespace {

using namespace std::chrono_literals;
using Kind = Transport::Kind;

std::vector<std::string> drain(OutgoingQueue& queue) {
    std::vector<std::string> texts;
    while (!queue.empty()) {
        texts.push_back(queue.pop().text);
    }
    return texts;
}

TEST(OutgoingQueue, AReaderThatFallsBehindGetsEveryControlAndOnlyTheLatestState) {
    OutgoingQueue queue;
    queue.push(Kind::State, "s1", 0ns);
    queue.push(Kind::Control, "c1", 0ns);
    EXPECT_EQ(queue.push(Kind::State, "s2", 0ns), OutgoingQueue::Pushed::ReplacedState);
    queue.push(Kind::Control, "c2", 0ns);
    for (int tick = 3; tick < 10000; ++tick) {
        queue.push(Kind::State, "s" + std::to_string(tick), 0ns);
    }
    EXPECT_EQ(queue.size(), 3u) << "memory stays flat however long the reader sleeps";
    EXPECT_EQ(drain(queue), (std::vector<std::string>{"c1", "c2", "s9999"}));
    queue.push(Kind::State, "s10000", 0ns);
    EXPECT_EQ(drain(queue), std::vector<std::string>{"s10000"});
}

TEST(OutgoingQueue, UnreadControlsAreBoundedToo) {
    OutgoingQueue queue;
    const std::string control(1000, 'c');
    std::size_t pushed = 0;
    while (queue.push(Kind::Control, control, 0ns) != OutgoingQueue::Pushed::Overflow) {
        ASSERT_LT(++pushed, 100000u);
    }
    EXPECT_EQ(pushed, OutgoingQueue::kMaxControlBytes / control.size());
}

TEST(MessageRate, ASecondsWorthAtOnceThenTheSteadyRate) {
    MessageRate rate(10);
    int taken = 0;
    while (rate.take(1s) && taken < 100) {
        ++taken;
    }
    EXPECT_EQ(taken, 10);
    EXPECT_FALSE(rate.take(1s + 99ms));
    EXPECT_TRUE(rate.take(1s + 100ms));
    EXPECT_FALSE(rate.take(1s + 100ms));
    // A long pause earns no more than one second's burst.
    taken = 0;
    while (rate.take(60s) && taken < 100) {
        ++taken;
    }
    EXPECT_EQ(taken, 10);
}

TEST(OriginPolicy, TheServersOwnAddressAndTheGivenOriginsOnly) {
    const OriginPolicy policy({"https://Voltaro.Example.org:443"});
    EXPECT_TRUE(policy.allows(std::nullopt, "127.0.0.1:8000"));
    EXPECT_TRUE(policy.allows("http://127.0.0.1:8000", "127.0.0.1:8000"));
    EXPECT_TRUE(policy.allows("http://LOCALHOST", "localhost:80"));
    EXPECT_TRUE(policy.allows("https://voltaro.example.org", "10.0.0.5:8001"));
    EXPECT_FALSE(policy.allows("http://127.0.0.1:8001", "127.0.0.1:8000"));
    EXPECT_FALSE(policy.allows("https://voltaro.example.org:8443", "127.0.0.1:8000"));
    EXPECT_FALSE(policy.allows("http://voltaro.example.org", "127.0.0.1:8000"));
    EXPECT_FALSE(policy.allows("null", "127.0.0.1:8000"));
    EXPECT_FALSE(policy.allows("http://127.0.0.1:8000", ""));
}

TEST(ServerOptions, ReadsEveryOptionAndRefusesWhatItCannotUse) {
    const auto read = [](std::vector<std::string> args) {
        return readServerOptions(args, "/usr/share/voltaro/site");
    };
    const auto options = std::get<ServerOptions>(
        read({"--listen", "[::1]:9000", "--records=/tmp/r", "--origin", "https://a.example",
              "--origin", "http://b.example:8080", "--code-prefix", "b2", "--timeout", "3",
              "--records-max-bytes", "5000000"}));
    EXPECT_EQ(options.address, "::1");
    EXPECT_EQ(options.port, 9000);
    EXPECT_EQ(options.site, "/usr/share/voltaro/site");
    EXPECT_EQ(options.records, "/tmp/r");
    EXPECT_EQ(options.recordsMaxBytes, 5000000u);
    EXPECT_EQ(options.origins.size(), 2u);
    EXPECT_EQ(options.codePrefix, "B2");
    EXPECT_EQ(options.timeout, 3s);

    EXPECT_EQ(std::get<EarlyExit>(read({"--help"})).status, 0);
    EXPECT_NE(std::get<EarlyExit>(read({"--help"})).text.find("/usr/share/voltaro/site"),
              std::string::npos);
    EXPECT_EQ(std::get<EarlyExit>(read({"--version"})).status, 0);
    for (const auto& bad :
         std::vector<std::vector<std::string>>{{"--listen", "localhost:80"},
                                               {"--listen", "127.0.0.1"},
                                               {"--listen", "127.0.0.1:70000"},
                                               {"--origin", "example.org"},
                                               {"--origin", "https://example.org/page"},
                                               {"--timeout", "0"},
                                               {"--code-prefix", "A/"},
                                               {"--records"},
                                               {"--records-max-bytes", "0"},
                                               {"--records-max-bytes", "1G"},
                                               {"--frobnicate"},
                                               {"stray"}}) {
        const auto exit = std::get<EarlyExit>(read(bad));
        EXPECT_EQ(exit.status, 2) << bad.front();
        EXPECT_TRUE(exit.text.starts_with("voltaro-server: ")) << exit.text;
    }
}

TEST(LocalNetwork, TellsThisMachineAndPrivateNetworksFromTheInternet) {
    for (const char* nearby :
         {"127.0.0.1", "10.1.2.3", "172.16.0.1", "172.31.255.255", "192.168.1.20", "169.254.1.1",
          "::1", "fd00::2", "fe80::1", "::ffff:192.168.1.20"}) {
        EXPECT_TRUE(onLocalNetwork(nearby)) << nearby;
    }
    for (const char* far : {"8.8.8.8", "172.32.0.1", "192.169.0.1", "2001:db8::1", "::ffff:8.8.8.8",
                            "not an address", ""}) {
        EXPECT_FALSE(onLocalNetwork(far)) << far;
    }
}

}  // namespace
}  // namespace voltaro::server
