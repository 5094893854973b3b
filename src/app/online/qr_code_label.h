#pragma once

#include <QImage>
#include <QLabel>

namespace voltaro {

// The QR code of `link`, black on white with the quiet zone around it, `modulePixels` square
// pixels a module; a null image when the link is too long for a code.
QImage qrImage(const QString& link, int modulePixels);

// A QR code beside a link, so that a phone across the room opens it by its camera. A screen
// reader hears what it is and the link it holds, which is also written beside it.
class QrCodeLabel final : public QLabel {
  public:
    explicit QrCodeLabel(QWidget* parent = nullptr);

    // Shows the code of `link`; an empty link hides it.
    void showLink(const QString& link);
    const QString& link() const { return link_; }

  private:
    QString link_;
};

}  // namespace voltaro
