#include "tests/support/real_desktop.h"

#include <QApplication>
#include <gtest/gtest.h>

// Window tests share one QApplication on the offscreen platform.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);
    // What the real-program harness finds wrong fails the running test.
    quorvel::test::setFailureHandler([](const QString& what) { ADD_FAILURE() << what.toStdString(); });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
