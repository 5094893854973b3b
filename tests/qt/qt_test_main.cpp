#include <gtest/gtest.h>

#include <QApplication>

// Window tests run on Qt's offscreen platform unless told otherwise, so they need no display;
// set before the application exists, which test discovery also runs through.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
