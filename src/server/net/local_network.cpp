#include "server/net/local_network.h"

#include <boost/asio/ip/address.hpp>
#include <string>

namespace voltaro::server {

namespace {

bool localV4(const boost::asio::ip::address_v4& address) {
    const auto bytes = address.to_bytes();
    return address.is_loopback() || bytes[0] == 10 ||       // 10/8
           (bytes[0] == 172 && (bytes[1] & 0xF0) == 16) ||  // 172.16/12
           (bytes[0] == 192 && bytes[1] == 168) ||          // 192.168/16
           (bytes[0] == 169 && bytes[1] == 254);            // 169.254/16
}

}  // namespace

bool onLocalNetwork(std::string_view text) {
    boost::system::error_code error;
    const auto address = boost::asio::ip::make_address(std::string(text), error);
    if (error) {
        return false;
    }
    if (address.is_v4()) {
        return localV4(address.to_v4());
    }
    const auto v6 = address.to_v6();
    if (v6.is_v4_mapped()) {
        return localV4(boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, v6));
    }
    const auto bytes = v6.to_bytes();
    return v6.is_loopback() || v6.is_link_local() || (bytes[0] & 0xFE) == 0xFC;  // fc00::/7
}

}  // namespace voltaro::server
