#include "state/storedfiles.h"

#include "platform/privatefiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <string>

namespace nimbra::storage {

bool ensurePrivateDirectory(const QString &directory, QString *error)
{
    std::string reason;
    if (platform::makePrivateDirectory(QDir::cleanPath(directory).toStdString(), reason))
        return true;
    if (error)
        *error = QString::fromStdString(reason);
    return false;
}

ReadStatus readStoredFile(const QString &path, QByteArray &data, QString &error)
{
    data.clear();
    QFile file(path);
    if (!file.exists())
        return ReadStatus::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return ReadStatus::Unreadable;
    }
    // The size is checked on the open file and the read is bounded, so a file that grows in between
    // cannot slip a large read through.
    if (file.size() > kStoredFileSizeLimit) {
        error =
            QStringLiteral("file too large (%1 bytes, limit %2)").arg(file.size()).arg(kStoredFileSizeLimit);
        return ReadStatus::TooLarge;
    }
    data = file.read(kStoredFileSizeLimit + 1);
    if (data.size() > kStoredFileSizeLimit) {
        data.clear();
        error = QStringLiteral("file too large (over %1 bytes)").arg(kStoredFileSizeLimit);
        return ReadStatus::TooLarge;
    }
    if (file.error() != QFileDevice::NoError) {
        data.clear();
        error = file.errorString();
        return ReadStatus::Unreadable;
    }
    return ReadStatus::Ok;
}

WriteStatus writeStoredFile(const QString &path, const QByteArray &data, QString &error)
{
    if (!ensurePrivateDirectory(QFileInfo(path).absolutePath(), &error))
        return WriteStatus::OpenFailed;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return WriteStatus::OpenFailed;
    }
    // Private before the first byte is written.
    std::string reason;
    if (!platform::restrictToOwner(file.handle(), reason)) {
        error = QString::fromStdString(reason);
        file.cancelWriting();
        return WriteStatus::OpenFailed;
    }
    // Every step is checked: a full disk shows only in the flush, and a commit after a failed flush
    // would put a truncated file in place of the good one.
    if (file.write(data) != data.size() || !file.flush()) {
        error = file.errorString();
        file.cancelWriting();
        return WriteStatus::WriteFailed;
    }
    if (!file.commit()) {
        error = file.errorString();
        return WriteStatus::WriteFailed;
    }
    return WriteStatus::Ok;
}

QString settingsStatusText(QSettings::Status status)
{
    switch (status) {
    case QSettings::NoError:
        return QStringLiteral("NoError");
    case QSettings::AccessError:
        return QStringLiteral("AccessError");
    case QSettings::FormatError:
        return QStringLiteral("FormatError");
    }
    return QStringLiteral("Unknown");
}

QString defaultSettingsPath()
{
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    return {};
#else
    // QSettings' own rule for the native format on this platform: the user's configuration folder,
    // then organisation/application.conf.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           QCoreApplication::organizationName() + QLatin1Char('/') + QCoreApplication::applicationName() +
           QStringLiteral(".conf");
#endif
}

bool setAsideOversizedSettings(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.isFile() || info.size() <= kStoredFileSizeLimit)
        return false;
    const QString reason =
        QStringLiteral("file too large (%1 bytes, limit %2)").arg(info.size()).arg(kStoredFileSizeLimit);
    // A name of its own: an earlier file set aside is never overwritten.
    const QString aside = path + QStringLiteral(".too-large-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QFile file(path);
    if (file.rename(aside)) {
        qWarning().noquote()
            << QStringLiteral("[Data] 设置文件无效，已移至 %1 path=%2 error=%3").arg(aside, path, reason);
        return true;
    }
    // Left in place, it must still not be parsed: the settings of this run go to a folder below the
    // file itself, which can never exist, so they are read from nothing and written nowhere.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path + QStringLiteral("/unused"));
    qWarning().noquote() << QStringLiteral(
                                "[Data] 设置文件无效且无法移开，本次运行不读取也不保存设置 path=%1 "
                                "error=%2 moveError=%3")
                                .arg(path, reason, file.errorString());
    return true;
}

void protectSettingsFile(const QSettings &settings)
{
    const QString path = settings.fileName();
    // Windows keeps native settings in the registry; there is no file to protect.
    if (!QFileInfo(path).isAbsolute())
        return;
    QString error;
    std::string reason;
    bool protectedFile = ensurePrivateDirectory(QFileInfo(path).absolutePath(), &error);
    if (protectedFile && !QFileInfo::exists(path)) {
        // Created empty and private before the first secret goes in; an empty file is valid settings.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            protectedFile = QFileInfo::exists(path) || (error = file.errorString(), false);
    }
    if (protectedFile && !platform::restrictPathToOwner(path.toStdString(), reason)) {
        error = QString::fromStdString(reason);
        protectedFile = false;
    }
    if (!protectedFile)
        qWarning().noquote()
            << QStringLiteral("[Data] 设置文件权限设置失败 path=%1 error=%2").arg(path, error);
}

bool saveSettings(QSettings &settings)
{
    settings.sync();
    protectSettingsFile(settings);
    // A QSettings object's status stays failed once a sync failed. A fresh object on the same file
    // retries what is still pending (the changes are held per file, not per object), so its status
    // tells about this save alone.
    QSettings check(settings.fileName(), settings.format());
    check.sync();
    if (check.status() == QSettings::NoError)
        return true;
    qWarning().noquote() << QStringLiteral("[Data] 设置保存失败 path=%1 status=%2")
                                .arg(settings.fileName(), settingsStatusText(check.status()));
    return false;
}

} // namespace nimbra::storage
