// The server the game hosts on a thread of its own: what the game asks of it from its own
// thread, and an error on the server's thread that must stop the server, not the game.
#include "app/hosted_server.h"

#include <gtest/gtest.h>

#include <system_error>

#include "match_client.h"

namespace voltaro::server::testing {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
namespace msg = online::server;

using tcp = asio::ip::tcp;

constexpr auto kPatience = 10s;

// As the kernel's source does when it cannot be read.
class BrokenRandom final : public SecretSource {
  public:
    void fill(std::span<std::byte>) override {
        throw std::system_error(ENOSYS, std::generic_category(), "no cryptographic random source");
    }
};

HostedListening onLoopback(const char* address, SecretSource* random = nullptr) {
    return {.addresses = {address}, .random = random};
}

tcp::endpoint at(const HostedServer& hosted, const char* address) {
    return {asio::ip::make_address(address), hosted.port()};
}

TEST(HostedServer, TellsItsPortAndFamilyFromTheGamesThreadWhileServing) {
    for (const char* address : {"127.0.0.1", "::1"}) {
        HostedServer hosted(0, {}, onLoopback(address));
        asio::io_context io;
        MatchClient player(io, at(hosted, address));
        ASSERT_TRUE(player.connected(kPatience)) << address;
        player.send(online::client::Hello{});
        ASSERT_TRUE(player.next<msg::Welcome>(kPatience)) << address;
        EXPECT_NE(hosted.port(), 0);
        EXPECT_EQ(hosted.onIpv6(), std::string(address) == "::1");
        EXPECT_FALSE(hosted.failure());
    }
}

// The first room needs a code: the random source fails inside the server's thread.
TEST(HostedServer, AnErrorOnItsThreadClosesTheMatchesAndIsKeptForTheGame) {
    BrokenRandom broken;
    HostedServer hosted(0, {}, onLoopback("127.0.0.1", &broken));
    asio::io_context io;
    MatchClient player(io, at(hosted, "127.0.0.1"));
    ASSERT_TRUE(player.connected(kPatience));
    player.send(online::client::Hello{});
    ASSERT_TRUE(player.next<msg::Welcome>(kPatience));
    player.send(online::client::Create{});
    EXPECT_EQ(closeCodeOf(io, player.socket(), kPatience), online::close_code::kGoingAway);
    ASSERT_TRUE(hosted.failure());
    EXPECT_NE(hosted.failure()->find("no cryptographic random source"), std::string::npos);
    // The server has closed its socket; what the game knows of it still holds.
    EXPECT_NE(hosted.port(), 0);
    EXPECT_FALSE(hosted.onIpv6());
}

}  // namespace
}  // namespace voltaro::server::testing
