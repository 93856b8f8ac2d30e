#include "app/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    // No display name: Qt would append it to every window title; message
    // boxes take the application name as their title.
    QApplication::setQuitOnLastWindowClosed(false);
    return app::runMain();
}
