// A client in miniature for the crash test: starts the core with one game route and then waits to be
// killed, as a client would be by a crash or the task manager.
#include "accel/singboxmanager.h"

#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    if (argc < 3)
        return 2;
    SingBoxManager manager;
    manager.setExecutablePath(QString::fromLocal8Bit(argv[1]));
    QFile node(QString::fromLocal8Bit(argv[2]));
    if (!node.open(QIODevice::ReadOnly) || !manager.prepareRuntimeConfig(node.readAll()))
        return 3;
    manager.setRouteIpList({QStringLiteral("198.51.100.7")});
    QObject::connect(&manager, &SingBoxManager::started, [] {
        std::printf("STARTED\n");
        std::fflush(stdout);
    });
    QObject::connect(&manager, &SingBoxManager::startFailed, [](const QString &message) {
        std::printf("FAILED %s\n", qPrintable(message));
        std::fflush(stdout);
        QCoreApplication::exit(4);
    });
    manager.start();
    return QCoreApplication::exec();
}
