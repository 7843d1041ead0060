// Qt's test-mode folders under the application's own identity, so a test never reads or writes the
// user's settings and data files.
#pragma once

#include <QCoreApplication>
#include <QStandardPaths>

inline void useTestSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Nimbra"));
    QCoreApplication::setApplicationName(QStringLiteral("Nimbra"));
}
