#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace voltaro {

class QrCodeLabel;

// Before the form, in an online match: the server's address (remembered between runs), "Create
// a match", "Join a match" or "Watch a match" with a code or a link, "Play someone online", and
// what is happening meanwhile: the code and the links to send, the wait (and the computer to
// play during it), a refusal.
class OnlineDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit OnlineDialog(const QString& server, const QString& hostNote);

    QString server() const;
    // What the player reads: a sentence, and once a room is ours its code and link.
    void showStatus(const QString& text);
    void showRoom(const QString& code, const QString& link, const QString& watchLink);
    // While a request is on its way the buttons wait.
    void setBusy(bool busy);
    // While the player waits alone for a quick match: the computer to play meanwhile, unless
    // that match is on already, and the way out of the queue.
    void showQueue(bool queued, bool playingComputer);

  signals:
    void createWanted();
    void joinWanted(const QString& typed);
    void watchWanted(const QString& typed);
    void quickMatchWanted();
    void computerWanted();
    void leaveQueueWanted();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void remember();

    QLineEdit* server_;
    QLineEdit* code_;
    QPushButton* create_;
    QPushButton* join_;
    QPushButton* watch_;
    QPushButton* quick_;
    QPushButton* computer_;
    QPushButton* leaveQueue_;
    QLabel* status_;
    QLineEdit* link_;
    QrCodeLabel* qr_;  // the link's, for a phone's camera
    QLineEdit* watchLink_;
    QrCodeLabel* watchQr_;
    QWidget* watchRow_;  // the link to watch with its caption and code
};

// The match server's address as the player last typed it, else `fallback`.
QString rememberedServer(const QString& fallback);

}  // namespace voltaro
