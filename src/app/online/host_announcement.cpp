#include "app/online/host_announcement.h"

#include <cstdio>

#include "app/online/online_dialog.h"

namespace voltaro {

HostAnnouncement::HostAnnouncement(QStringList hostAddresses)
    : hostAddresses_(std::move(hostAddresses)) {}

QStringList HostAnnouncement::links(const client::MatchView& match) const {
    QStringList links;
    for (const QString& base : hostAddresses_) {
        links.append(QString::fromStdString(client::joinLink(base.toStdString(), match.code())));
    }
    if (links.isEmpty()) {
        links.append(QString::fromStdString(match.joinLink()));
    }
    return links;
}

void HostAnnouncement::announce(const client::MatchView& match, OnlineDialog& dialog) {
    const QString code = QString::fromStdString(match.code());
    const QStringList links = this->links(match);
    // The link to watch, on the same address as the first link to join.
    const QString watch = QString::fromStdString(
        hostAddresses_.isEmpty()
            ? match.watchLink()
            : client::watchLink(hostAddresses_.constFirst().toStdString(), match.code()));
    dialog.showRoom(code, links.constFirst(), watch);
    if (hostAddresses_.isEmpty()) {
        return;
    }
    const QString list = links.join(QStringLiteral("\n    "));
    dialog.showStatus(QStringLiteral("Waiting for your friend. In a browser, or with "
                                     "voltaro --join, they open:\n    ") +
                      list + QStringLiteral("\nor type the code %1.").arg(code));
    if (!printed_) {
        printed_ = true;
        std::printf("voltaro: your friend joins match %s at\n    %s\n", qPrintable(code),
                    qPrintable(list));
        std::fflush(stdout);
    }
}

}  // namespace voltaro
