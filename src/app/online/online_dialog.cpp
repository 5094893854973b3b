#include "app/online/online_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "app/online/qr_code_label.h"

namespace voltaro {

namespace {

const QString kServerKey = QStringLiteral("online/server");

}  // namespace

QString rememberedServer(const QString& fallback) {
    return QSettings().value(kServerKey, fallback).toString();
}

OnlineDialog::OnlineDialog(const QString& server, const QString& hostNote)
    : server_(new QLineEdit(server)),
      code_(new QLineEdit),
      create_(new QPushButton(QStringLiteral("Create a match"))),
      join_(new QPushButton(QStringLiteral("Join a match"))),
      watch_(new QPushButton(QStringLiteral("Watch a match"))),
      quick_(new QPushButton(QStringLiteral("Play someone online"))),
      computer_(new QPushButton(QStringLiteral("Play the computer while you wait"))),
      leaveQueue_(new QPushButton(QStringLiteral("Stop waiting"))),
      status_(new QLabel),
      link_(new QLineEdit),
      qr_(new QrCodeLabel),
      watchLink_(new QLineEdit),
      watchQr_(new QrCodeLabel),
      watchRow_(new QWidget) {
    setWindowTitle(QStringLiteral("Soccer Game: VOLTARO! - online"));
    code_->setPlaceholderText(QStringLiteral("a code, or the link a friend sent"));
    code_->setObjectName(QStringLiteral("code"));
    server_->setObjectName(QStringLiteral("server"));
    link_->setReadOnly(true);
    link_->setObjectName(QStringLiteral("link"));
    link_->hide();
    link_->setToolTip(QStringLiteral("The link to join the match"));
    watchLink_->setReadOnly(true);
    watchLink_->setObjectName(QStringLiteral("watchLink"));
    watchLink_->setToolTip(QStringLiteral("The link to watch the match"));
    auto* watchRow = new QHBoxLayout(watchRow_);
    watchRow->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("To watch:"));
    caption->setBuddy(watchLink_);
    watchRow->addWidget(caption);
    watchRow->addWidget(watchLink_, 1, Qt::AlignTop);
    watchRow->addWidget(watchQr_);
    watchRow_->hide();
    watch_->setObjectName(QStringLiteral("watch"));
    quick_->setObjectName(QStringLiteral("quick"));
    computer_->setObjectName(QStringLiteral("computer"));
    leaveQueue_->setObjectName(QStringLiteral("leaveQueue"));
    computer_->hide();
    leaveQueue_->hide();
    status_->setTextFormat(Qt::PlainText);  // it shows what a server says: never its markup
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setObjectName(QStringLiteral("status"));
    status_->setMinimumWidth(360);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Server:"), server_);
    auto* joinRow = new QHBoxLayout;
    joinRow->addWidget(code_, 1);
    joinRow->addWidget(join_);
    joinRow->addWidget(watch_);
    auto* layout = new QVBoxLayout(this);
    if (!hostNote.isEmpty()) {
        auto* note = new QLabel(hostNote);
        note->setTextFormat(Qt::PlainText);
        note->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(note);
    } else {
        layout->addLayout(form);
    }
    layout->addWidget(create_);
    layout->addLayout(joinRow);
    if (hostNote.isEmpty()) {
        layout->addWidget(quick_);  // a game's own server has nobody else to meet
    } else {
        quick_->hide();
    }
    layout->addWidget(status_);
    auto* queueRow = new QHBoxLayout;
    queueRow->addWidget(computer_);
    queueRow->addWidget(leaveQueue_);
    queueRow->addStretch(1);
    layout->addLayout(queueRow);
    auto* linkRow = new QHBoxLayout;
    linkRow->addWidget(link_, 1, Qt::AlignTop);
    linkRow->addWidget(qr_);
    layout->addLayout(linkRow);
    layout->addWidget(watchRow_);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // grows with what the status says

    // Return in the code's field joins; no button is pressed by a Return meant for another.
    create_->setAutoDefault(false);
    join_->setAutoDefault(false);
    watch_->setAutoDefault(false);
    quick_->setAutoDefault(false);
    computer_->setAutoDefault(false);
    leaveQueue_->setAutoDefault(false);

    connect(create_, &QPushButton::clicked, this, [this] {
        remember();
        emit createWanted();
    });
    const auto join = [this] {
        if (!code_->text().trimmed().isEmpty()) {
            remember();
            emit joinWanted(code_->text());
        }
    };
    connect(join_, &QPushButton::clicked, this, join);
    connect(code_, &QLineEdit::returnPressed, this, join);
    connect(watch_, &QPushButton::clicked, this, [this] {
        if (!code_->text().trimmed().isEmpty()) {
            remember();
            emit watchWanted(code_->text());
        }
    });
    connect(quick_, &QPushButton::clicked, this, [this] {
        remember();
        emit quickMatchWanted();
    });
    connect(computer_, &QPushButton::clicked, this, &OnlineDialog::computerWanted);
    connect(leaveQueue_, &QPushButton::clicked, this, &OnlineDialog::leaveQueueWanted);
}

// "Create a match" has the focus: Space creates one.
void OnlineDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (create_->isEnabled()) {
        create_->setFocus();
    }
}

QString OnlineDialog::server() const {
    return server_->text().trimmed();
}

void OnlineDialog::showStatus(const QString& text) {
    status_->setText(text);
}

void OnlineDialog::showRoom(const QString& code, const QString& link, const QString& watchLink) {
    code_->setText(code);
    link_->setText(link);
    // The whole link in sight, beside its code: the player reads it out or checks it.
    link_->setMinimumWidth(link_->fontMetrics().horizontalAdvance(link) + 16);
    link_->show();
    link_->selectAll();
    qr_->showLink(link);
    watchLink_->setText(watchLink);
    watchQr_->showLink(watchLink);
    watchRow_->setVisible(!watchLink.isEmpty());
}

void OnlineDialog::setBusy(bool busy) {
    create_->setEnabled(!busy);
    join_->setEnabled(!busy);
    watch_->setEnabled(!busy);
    quick_->setEnabled(!busy);
    code_->setReadOnly(busy);
}

// Entering the queue, the offer of the computer takes the focus: Space takes it up.
void OnlineDialog::showQueue(bool queued, bool playingComputer) {
    const bool offered = queued && !playingComputer;
    const bool offeredBefore = !computer_->isHidden();
    const bool queuedBefore = !leaveQueue_->isHidden();
    computer_->setVisible(offered);
    leaveQueue_->setVisible(queued);
    if (offered && !offeredBefore) {
        computer_->setFocus();
    } else if (queuedBefore && !queued) {
        create_->setFocus();
    }
}

void OnlineDialog::remember() {
    if (server_->isVisible()) {
        QSettings().setValue(kServerKey, server());
    }
}

}  // namespace voltaro
