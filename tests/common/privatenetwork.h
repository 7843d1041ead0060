// Tests that start the core and add routes: as root the whole run gets a network namespace of its own,
// so the TUN device and the routes never reach the host. On Windows route.exe is only ever the
// stand-in (platform/wintests/route_standin.cpp, which keeps its table in the file that
// NIMBRA_ROUTE_TABLE names), placed in the system folder of a wine prefix of the test run's own.
#pragma once

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sched.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
// True when route.exe in the system folder, which the client runs, is the stand-in built beside the
// test (route-standin/route.exe) and has a table of its own (emptied here).
inline bool enterPrivateNetwork()
{
    const QString table = qEnvironmentVariable("NIMBRA_ROUTE_TABLE");
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    QFile installed(QString::fromWCharArray(system, int(length)) + QStringLiteral("/route.exe"));
    // Called before the application object exists: the test's folder from the system.
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    QFile standIn(QFileInfo(QString::fromWCharArray(program)).path() +
                  QStringLiteral("/route-standin/route.exe"));
    if (table.isEmpty() || length == 0 || !installed.open(QIODevice::ReadOnly) ||
        !standIn.open(QIODevice::ReadOnly) || installed.readAll() != standIn.readAll())
        return false;
    QFile::remove(table);
    return true;
}
#else
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
#endif

inline QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(5000);
    return QString::fromLocal8Bit(process.readAll()).trimmed();
}

// Our routes in this namespace (in any table: each user's are in a table of their own; Windows: the
// stand-in's table), as sorted
// "destination/prefix" texts.
inline QStringList ownRoutes()
{
    QStringList routes;
#ifdef Q_OS_WIN
    QFile table(qEnvironmentVariable("NIMBRA_ROUTE_TABLE"));
    if (table.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : table.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() < 2)
                continue;
            int prefix = 0;
            for (const QByteArray &octet : fields.at(1).split('.'))
                prefix += qPopulationCount(static_cast<quint8>(octet.toUInt()));
            routes << QString::fromLatin1(fields.at(0)) + QStringLiteral("/%1").arg(prefix);
        }
    }
#else
    const QString table = run(QStringLiteral("ip"), {"-4", "route", "show", "table", "all", "proto", "215"});
    for (const QString &line : table.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        routes << line.section(QLatin1Char(' '), 0, 0);
#endif
    routes.sort();
    return routes;
}
