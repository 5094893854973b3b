#pragma once

#include <QByteArray>
#include <QImage>

namespace voltaro {

// What the game tells the desktop about itself before its window exists: its name, the menu
// entry that its window belongs to, and its window icon.
void identifyApplication();

// A PNG decoded with libpng alone. QImage's own reader first looks through every image-format
// plugin for one that claims the data, which costs more at start-up than the decoding of a
// small icon; a null image when the data is no PNG.
QImage decodePng(const QByteArray& png);

}  // namespace voltaro
