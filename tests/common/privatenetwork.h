// Tests that start the core and add routes: as root the whole run gets a network namespace of its own,
// so the TUN device and the routes never reach the host.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <sched.h>
#include <unistd.h>

// Call first thing in main, before any thread exists: every thread and child then shares the namespace.
// True when the run is inside a private network namespace.
inline bool enterPrivateNetwork()
{
    if (geteuid() != 0 || unshare(CLONE_NEWNET) != 0)
        return false;
    QProcess::execute(QStringLiteral("ip"), {QStringLiteral("link"), QStringLiteral("set"),
                                             QStringLiteral("lo"), QStringLiteral("up")});
    return true;
}

inline QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(5000);
    return QString::fromLocal8Bit(process.readAll()).trimmed();
}

// Our routes in this namespace (in any table: each user's are in a table of their own), as sorted
// "destination/prefix" texts.
inline QStringList ownRoutes()
{
    QStringList routes;
    const QString table = run(QStringLiteral("ip"), {"-4", "route", "show", "table", "all", "proto", "215"});
    for (const QString &line : table.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        routes << line.section(QLatin1Char(' '), 0, 0);
    routes.sort();
    return routes;
}
