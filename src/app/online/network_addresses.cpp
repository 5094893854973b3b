#include "app/online/network_addresses.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkInterface>

namespace voltaro {

namespace {

// The addresses at which a friend on one of this machine's networks reaches it, as a link
// writes them: IPv4 first, as most home networks give them, then IPv6 if the game listens there.
// Left out: link-local addresses (a link would have to name the friend's own interface), and
// IPv6's temporary and deprecated ones, which come and go.
QStringList networkAddresses(bool ipv6) {
    QStringList ipv4Addresses;
    QStringList ipv6Addresses;
    for (const QNetworkInterface& network : QNetworkInterface::allInterfaces()) {
        const auto flags = network.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : network.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (address.isLoopback() || address.isLinkLocal()) {
                continue;
            }
            if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                ipv4Addresses.append(address.toString());
            } else if (ipv6 && address.protocol() == QAbstractSocket::IPv6Protocol &&
                       !entry.isTemporary() &&
                       !(entry.isLifetimeKnown() && entry.preferredLifetime().hasExpired())) {
                ipv6Addresses.append(QStringLiteral("[%1]").arg(address.toString()));
            }
        }
    }
    return ipv4Addresses + ipv6Addresses;
}

}  // namespace

QStringList hostAddresses(std::uint16_t port, bool ipv6) {
    QStringList bases;
    for (const QString& address : networkAddresses(ipv6)) {
        bases.append(QStringLiteral("http://%1:%2/").arg(address).arg(port));
    }
    bases.append(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    return bases;
}

}  // namespace voltaro
