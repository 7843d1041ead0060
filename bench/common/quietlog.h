#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdio>

// The benchmarks print figures; the library's debug and info lines reach the terminal only with
// --verbose, so the figures stay readable.
inline bool g_verbose = false;

inline void filterMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (!g_verbose && (type == QtDebugMsg || type == QtInfoMsg))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}
