// The network layer's rules that need no socket: the outgoing queue, the message and connection
// rates, the frame count, the origin and Host rules, trusted proxies, the connection counts,
// what counts as a nearby peer, and the command line.
#include <gtest/gtest.h>

#include "server/core/token_bucket.h"
#include "server/net/address_counter.h"
#include "server/net/connection_rate.h"
#include "server/net/frame_counter.h"
#include "server/net/local_network.h"
#include "server/net/origin_policy.h"
#include "server/net/outgoing_queue.h"
#include "server/net/server_options.h"
#include "server/net/trusted_proxies.h"

namespace voltaro::server {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> drain(OutgoingQueue& queue) {
    std::vector<std::string> texts;
    while (!queue.empty()) {
        texts.push_back(queue.pop().text);
    }
    return texts;
}

// A reader that falls behind gets every message in order, up to a bound: memory stays flat
// however long it sleeps, and once it has read, there is room again.
TEST(OutgoingQueue, KeepsEveryMessageInOrderUpToABound) {
    OutgoingQueue queue;
    const std::string message(1000, 'm');
    const auto numbered = [&](std::size_t n) { return std::to_string(100000 + n) + message; };
    std::size_t pushed = 0;
    while (queue.push(numbered(pushed), 0ns)) {
        ASSERT_LT(++pushed, 100000u);
    }
    EXPECT_EQ(pushed, OutgoingQueue::kMaxBytes / numbered(0).size());
    const auto texts = drain(queue);
    ASSERT_EQ(texts.size(), pushed);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i], numbered(i));
    }
    EXPECT_TRUE(queue.push(message, 0ns));
}

// As a connection's messages are counted: ten a second.
TEST(TokenBucket, ASecondsWorthAtOnceThenTheSteadyRate) {
    TokenBucket rate(10, 1s);
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

TEST(NewConnectionRate, EachPersonGetsABurstThenTheSteadyRate) {
    NewConnectionRate rate(10);
    int taken = 0;
    while (rate.take("203.0.113.5", 1s) && taken < 1000) {
        ++taken;
    }
    EXPECT_EQ(taken, 50) << "five seconds' worth at once";
    EXPECT_TRUE(rate.take("203.0.113.6", 1s)) << "another person has their own";
    EXPECT_FALSE(rate.take("203.0.113.5", 1s + 99ms));
    EXPECT_TRUE(rate.take("203.0.113.5", 1s + 100ms));
    EXPECT_TRUE(rate.take("203.0.113.7", 30s));
    EXPECT_EQ(rate.people(), 1u) << "people whose bucket filled up again are forgotten";
    NewConnectionRate unlimited(0);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(unlimited.take("203.0.113.5", 1s));
    }
}

TEST(AddressCounter, LimitsEachPersonAndAllConnectionsAndMovesAConnectionToItsClient) {
    AddressCounter counter(2, 5);
    using Added = AddressCounter::Added;
    EXPECT_EQ(counter.add("a", true), Added::Yes);
    EXPECT_EQ(counter.add("a", true), Added::Yes);
    EXPECT_EQ(counter.add("a", true), Added::PersonFull);
    EXPECT_EQ(counter.add("proxy", false), Added::Yes);
    EXPECT_EQ(counter.add("proxy", false), Added::Yes);
    EXPECT_FALSE(counter.move("proxy", "a")) << "a has two";
    EXPECT_EQ(counter.count("proxy"), 2u);
    EXPECT_TRUE(counter.move("proxy", "b"));
    EXPECT_EQ(counter.add("proxy", false), Added::Yes);
    EXPECT_EQ(counter.add("c", true), Added::ServerFull);
    EXPECT_EQ(counter.total(), 5u);
    counter.remove("a");
    EXPECT_EQ(counter.add("c", true), Added::Yes);
    AddressCounter perSlash64(1, 100);
    perSlash64.add("127.0.0.1", false);
    AddressSlot viaProxy(perSlash64, "127.0.0.1");
    ASSERT_EQ(perSlash64.add("2001:db8::/64", true), Added::Yes);
    EXPECT_FALSE(viaProxy.moveTo("2001:db8::99")) << "one /64 is one person";
    EXPECT_EQ(viaProxy.person(), "127.0.0.1");
    EXPECT_TRUE(viaProxy.moveTo("2001:db8:0:1::99"));
    EXPECT_EQ(viaProxy.person(), "2001:db8:0:1::/64");
    EXPECT_EQ(perSlash64.count("127.0.0.1"), 0u);
}

TEST(TrustedProxies, BelieveTheRightMostClientANamedProxyReportsAndNobodyElse) {
    const TrustedProxies proxies({"127.0.0.0/8", "::1", "10.1.0.0/16", "2001:db8:1::/48"});
    for (const char* trusted : {"127.0.0.1", "127.9.9.9", "::1", "[::1]", "10.1.200.3",
                                "::ffff:10.1.0.1", "2001:db8:1:2::3"}) {
        EXPECT_TRUE(proxies.trusts(trusted)) << trusted;
    }
    for (const char* other : {"10.2.0.1", "2001:db8:2::1", "::2", "128.0.0.1", "junk", ""}) {
        EXPECT_FALSE(proxies.trusts(other)) << other;
    }
    EXPECT_EQ(proxies.clientOf("127.0.0.1", "203.0.113.5"), "203.0.113.5");
    EXPECT_EQ(proxies.clientOf("127.0.0.1", "198.51.100.1, 203.0.113.5, 10.1.0.9"), "203.0.113.5")
        << "what is left of the last stranger is the client's own word";
    EXPECT_EQ(proxies.clientOf("127.0.0.1", "203.0.113.5,[2001:db8::7]"), "2001:db8::7");
    EXPECT_EQ(proxies.clientOf("127.0.0.1", "10.1.0.8, 127.0.0.2"), "10.1.0.8");
    EXPECT_EQ(proxies.clientOf("127.0.0.1", "203.0.113.5, garbage, 127.0.0.2"), "127.0.0.2");
    EXPECT_EQ(proxies.clientOf("127.0.0.1", ""), "127.0.0.1");
    EXPECT_EQ(proxies.clientOf("198.51.100.1", "203.0.113.5"), "198.51.100.1")
        << "a stranger's header is ignored";
    EXPECT_FALSE(TrustedProxies({}).trusts("127.0.0.1"));
    for (const char* bad : {"127.0.0.1/33", "::1/129", "10.0.0.0/", "10.0.0.0/x", "host"}) {
        EXPECT_FALSE(TrustedProxies::isNetwork(bad)) << bad;
    }
}

// A masked client frame: FIN and opcode, the payload's length, a mask, the payload.
std::string clientFrame(unsigned char first, std::size_t length) {
    std::string frame(1, static_cast<char>(first));
    if (length < 126) {
        frame += static_cast<char>(0x80 | length);
    } else {
        frame += static_cast<char>(0x80 | 126);
        frame += static_cast<char>(length >> 8);
        frame += static_cast<char>(length & 0xFF);
    }
    return frame + std::string(4, 'm') + std::string(length, 'p');
}

TEST(FrameCounter, CountsEveryFrameHoweverTheBytesAreSplit) {
    std::string stream = clientFrame(0x89, 0) + clientFrame(0x01, 0);  // a ping, a first part
    for (int i = 0; i < 50; ++i) {
        stream += clientFrame(0x00, 0);  // empty continuations
    }
    stream += clientFrame(0x80, 300) + clientFrame(0x81, 5) + clientFrame(0x88, 2);
    const auto* bytes = reinterpret_cast<const unsigned char*>(stream.data());
    FrameCounter whole;
    EXPECT_EQ(whole.scan(bytes, stream.size()), 55u);
    FrameCounter byByte;
    std::size_t frames = 0;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        frames += byByte.scan(bytes + i, 1);
    }
    EXPECT_EQ(frames, 55u);
    FrameCounter longFrame;
    const std::string header("\x82\xFF\x00\x00\x00\x00\x00\x01\x00\x00mask", 14);
    EXPECT_EQ(longFrame.scan(reinterpret_cast<const unsigned char*>(header.data()), header.size()),
              1u);
    const std::string payload(70000, 'p');
    EXPECT_EQ(longFrame.scan(reinterpret_cast<const unsigned char*>(payload.data()), 65536), 0u)
        << "a 64-bit length is followed to its end";
    EXPECT_EQ(longFrame.scan(reinterpret_cast<const unsigned char*>(stream.data()), stream.size()),
              55u);
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

TEST(OriginPolicy, AnswersToAddressesLocalhostAndGivenNamesOnly) {
    const OriginPolicy policy({"https://voltaro.example.org"}, {"Play.Example.net"});
    for (const char* host : {"127.0.0.1:8000", "192.168.1.20", "[::1]:8000", "[fe80::1]",
                             "localhost:8000", "LOCALHOST", "voltaro.example.org",
                             "voltaro.example.org.:443", "play.example.net:8000", ""}) {
        EXPECT_TRUE(policy.answersTo(host)) << host;
    }
    for (const char* host : {"evil.test", "evil.test:8000", "voltaro.example.org.evil",
                             "localhost.evil.test", "127.0.0.1.evil.test", "example.net"}) {
        EXPECT_FALSE(policy.answersTo(host)) << host;
    }
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
    EXPECT_EQ(options.trustedProxies, (std::vector<std::string>{"127.0.0.0/8", "::1"}));
    EXPECT_EQ(options.maxNewPerSecond, 20u);

    const auto proxied = std::get<ServerOptions>(
        read({"--trusted-proxy", "10.0.0.0/8", "--trusted-proxy=2001:db8::1", "--name",
              "Play.Example.org.", "--max-new-rate", "0"}));
    EXPECT_EQ(proxied.trustedProxies, (std::vector<std::string>{"10.0.0.0/8", "2001:db8::1"}))
        << "the first one given replaces the default";
    EXPECT_EQ(proxied.names, std::vector<std::string>{"play.example.org"});
    EXPECT_EQ(proxied.maxNewPerSecond, 0u);
    EXPECT_TRUE(std::get<ServerOptions>(read({"--trusted-proxy", "none"})).trustedProxies.empty());

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
                                               {"--trusted-proxy", "proxy.example"},
                                               {"--trusted-proxy", "10.0.0.0/40"},
                                               {"--name", "evil.test/x"},
                                               {"--max-new-rate", "-1"},
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
