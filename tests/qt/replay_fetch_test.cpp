// The desktop's fetch of a match's record from its server, against a server on loopback that
// answers each request as the test says: the record, no record, too much, or nothing at all.
#include "app/replay/replay_fetch.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

#include "client/replay_record.h"

namespace voltaro {
namespace {

using namespace std::chrono_literals;

// Answers every connection with `answer` once its request has come in.
class OneAnswerServer {
  public:
    explicit OneAnswerServer(std::function<void(QTcpSocket&)> answer) : answer_(std::move(answer)) {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = server_.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (socket->readAll().contains("\r\n\r\n")) {
                    answer_(*socket);
                }
            });
        });
    }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/replay/B7KQ").arg(server_.serverPort());
    }

  private:
    QTcpServer server_;
    std::function<void(QTcpSocket&)> answer_;
};

void reply(QTcpSocket& socket, const QByteArray& status, const QByteArray& body) {
    socket.write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

struct Outcome {
    QByteArray text;
    QString why;
};

// What one fetch comes to: the record, or why there is none.
Outcome fetchFrom(const OneAnswerServer& server, std::chrono::milliseconds patience = 20s) {
    ReplayFetch fetch(patience);
    Outcome outcome;
    QEventLoop loop;
    QObject::connect(&fetch, &ReplayFetch::fetched, [&](const QByteArray& text) {
        outcome.text = text;
        loop.quit();
    });
    QObject::connect(&fetch, &ReplayFetch::failed, [&](const QString& why) {
        outcome.why = why;
        loop.quit();
    });
    QTimer::singleShot(60s, &loop, [&] {
        outcome.why = "the test gave up";
        loop.quit();
    });
    fetch.fetch(server.url());
    EXPECT_TRUE(fetch.busy());
    loop.exec();
    EXPECT_FALSE(fetch.busy());
    return outcome;
}

TEST(ReplayFetch, TakesTheRecordAndSaysWhyWhenThereIsNone) {
    const QByteArray record = "# tick 0\nball\n";
    const OneAnswerServer served([&](QTcpSocket& s) { reply(s, "200 OK", record); });
    EXPECT_EQ(fetchFrom(served).text, record);

    const OneAnswerServer pruned([](QTcpSocket& s) { reply(s, "404 Not Found", "gone"); });
    EXPECT_EQ(fetchFrom(pruned).why, "The server no longer keeps this replay.");
    // An answer that is no record is not played as one, whatever its body.
    const OneAnswerServer empty([](QTcpSocket& s) { reply(s, "204 No Content", ""); });
    EXPECT_EQ(fetchFrom(empty).why, "Cannot fetch the replay: the server answered 204");

    // A server that sends more than any record may hold is cut off there, however it goes on.
    const OneAnswerServer flooding([](QTcpSocket& s) {
        reply(s, "200 OK", QByteArray(client::ReplayRecord::kMaxBytes + 4096, '#'));
    });
    EXPECT_EQ(fetchFrom(flooding).why, "The replay is larger than a match's record may be.");

    // One that answers nothing, or trickles, is given up on.
    const OneAnswerServer silent([](QTcpSocket& s) { s.write("HTTP/1.1 200 OK\r\n"); });
    EXPECT_EQ(fetchFrom(silent, 300ms).why, "The server took too long to send the replay.");
}

}  // namespace
}  // namespace voltaro
