#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The process-wide runtime log: every Qt message becomes one timestamped line in "runtime.log" in the
// per-user data directory and on standard error.
namespace nimbra {

inline constexpr qint64 kRuntimeLogSizeCap = 10 * 1024 * 1024;

QString runtimeLogLevelName(QtMsgType type);
QString formatRuntimeLogLine(const QDateTime &time, QtMsgType type, const QString &message);

void runtimeMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// Opens "runtime.log" in the application's local data location (or in the given directory), dropping an
// oversized file first (unless dropOversized is false: a second copy of the client must not delete the
// file the running copy writes), installs the handler and logs the first line. The file and its folder
// are private to the user. Opening again closes the old file.
void openRuntimeLog(bool dropOversized = true);
void openRuntimeLog(const QString &directory, bool dropOversized = true);

// Closes the file; lines still go to standard error while the handler stays installed.
void closeRuntimeLog();
bool runtimeLogIsOpen();

} // namespace nimbra
