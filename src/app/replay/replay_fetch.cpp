#include "app/replay/replay_fetch.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <utility>

#include "client/replay_record.h"

namespace voltaro {

namespace {

constexpr auto kMaxBytes = static_cast<qsizetype>(client::ReplayRecord::kMaxBytes);

}  // namespace

ReplayFetch::ReplayFetch(std::chrono::milliseconds patience)
    : network_(new QNetworkAccessManager(this)) {
    deadline_.setSingleShot(true);
    deadline_.setInterval(patience);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (reply_) {
            giveUp(QStringLiteral("The server took too long to send the replay."));
        }
    });
}

ReplayFetch::~ReplayFetch() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void ReplayFetch::fetch(const QString& url) {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
    }
    text_.clear();
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    reply_ = network_->get(request);
    deadline_.start();
    connect(reply_, &QNetworkReply::readyRead, this, &ReplayFetch::readSome);
    connect(reply_, &QNetworkReply::finished, this, &ReplayFetch::finish);
}

// Taken as it comes, and refused as soon as it is longer than any record may be.
void ReplayFetch::readSome() {
    text_ += reply_->read(kMaxBytes + 1 - text_.size());
    if (text_.size() > kMaxBytes) {
        giveUp(QStringLiteral("The replay is larger than a match's record may be."));
    }
}

void ReplayFetch::finish() {
    QNetworkReply* reply = reply_;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::ContentNotFoundError || status == 404) {
        giveUp(QStringLiteral("The server no longer keeps this replay."));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        giveUp(QStringLiteral("Cannot fetch the replay: %1").arg(reply->errorString()));
        return;
    }
    if (status != 200) {  // the record whole, or none
        giveUp(QStringLiteral("Cannot fetch the replay: the server answered %1").arg(status));
        return;
    }
    readSome();
    if (!reply_) {
        return;  // too large
    }
    deadline_.stop();
    reply_->deleteLater();
    reply_ = nullptr;
    emit fetched(std::exchange(text_, {}));
}

void ReplayFetch::giveUp(const QString& why) {
    deadline_.stop();
    reply_->disconnect(this);
    reply_->abort();
    reply_->deleteLater();
    reply_ = nullptr;
    text_.clear();
    emit failed(why);
}

}  // namespace voltaro
