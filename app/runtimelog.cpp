#include "runtimelog.h"

#include "platform/privatefiles.h"
#include "state/storedfiles.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

namespace nimbra {

namespace {

// Every thread's messages go through one handler: the file is only touched under the lock.
QFile g_runtimeLog;
QMutex g_runtimeLogMutex;

} // namespace

QString runtimeLogLevelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("DEBUG");
    case QtInfoMsg:
        return QStringLiteral("INFO");
    case QtWarningMsg:
        return QStringLiteral("WARN");
    case QtCriticalMsg:
        return QStringLiteral("CRITICAL");
    case QtFatalMsg:
        return QStringLiteral("FATAL");
    }
    return QStringLiteral("LOG");
}

QString formatRuntimeLogLine(const QDateTime &time, QtMsgType type, const QString &message)
{
    // One multi-argument pass: a "%1" inside the message is never substituted.
    return QStringLiteral("%1 [%2] %3")
        .arg(time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")), runtimeLogLevelName(type), message);
}

void runtimeMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const QString line = formatRuntimeLogLine(QDateTime::currentDateTime(), type, message);
    {
        QMutexLocker locker(&g_runtimeLogMutex);
        if (g_runtimeLog.isOpen()) {
            // UTF-8 straight into the file's buffer; text mode still turns the line feed into CR LF on
            // Windows.
            g_runtimeLog.write(line.toUtf8().append('\n'));
            // Lines that matter after a crash reach the disk at once; chatty lines stay buffered.
            if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
                g_runtimeLog.flush();
        }
    }
    const QByteArray local = line.toLocal8Bit();
    std::fprintf(stderr, "%s\n", local.constData());
    if (type == QtFatalMsg)
        std::abort();
}

void openRuntimeLog(bool dropOversized)
{
    openRuntimeLog(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation), dropOversized);
}

void openRuntimeLog(const QString &directory, bool dropOversized)
{
    QString path;
    {
        QMutexLocker locker(&g_runtimeLogMutex);
        if (g_runtimeLog.isOpen())
            g_runtimeLog.close();
        if (!directory.isEmpty() && storage::ensurePrivateDirectory(directory)) {
            path = QDir(directory).filePath(QStringLiteral("runtime.log"));
            QFileInfo existing(path);
            if (dropOversized && existing.exists() && existing.size() > kRuntimeLogSizeCap)
                QFile::remove(path);
            g_runtimeLog.setFileName(path);
            // The log names the user's games, routes and phone number: for the user's eyes only, also
            // when an older file was made with a wider mode (the folder already keeps others out
            // should that fail).
            if (g_runtimeLog.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
                std::string ignored;
                platform::restrictToOwner(g_runtimeLog.handle(), ignored);
            } else {
                path.clear();
            }
        }
    }
    qInstallMessageHandler(runtimeMessageHandler);
    qInfo().noquote() << QStringLiteral("[APP] 运行日志文件：%1")
                             .arg(path.isEmpty() ? QStringLiteral("打开失败")
                                                 : QDir::toNativeSeparators(path));
}

void closeRuntimeLog()
{
    QMutexLocker locker(&g_runtimeLogMutex);
    g_runtimeLog.close();
}

bool runtimeLogIsOpen()
{
    QMutexLocker locker(&g_runtimeLogMutex);
    return g_runtimeLog.isOpen();
}

} // namespace nimbra
