#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>

// The small files the client keeps across runs (the recent game, the route choices, the route
// journal, the settings): private to the user, written whole or not at all, and read only when they
// are of a sane size.
namespace nimbra::storage {

// No stored file of ours comes near this; a larger one is damaged or foreign and is not read.
inline constexpr qint64 kStoredFileSizeLimit = 1024 * 1024;

// Creates the folder (new levels and the folder itself private to the user). False with the reason.
bool ensurePrivateDirectory(const QString &directory, QString *error = nullptr);

enum class ReadStatus
{
    Ok,
    Missing,
    TooLarge,
    Unreadable
};

// Reads a stored file whole, refusing one over kStoredFileSizeLimit before reading it. Anything but
// Ok leaves data empty and, except for Missing, sets error to a reason fit for a log line.
ReadStatus readStoredFile(const QString &path, QByteArray &data, QString &error);

enum class WriteStatus
{
    Ok,
    OpenFailed,
    WriteFailed
};

// Replaces the file atomically with a private (owner-only) file holding data, creating its folder.
// On any failure of opening, writing, flushing or committing the old file stays as it was and error
// holds the reason.
WriteStatus writeStoredFile(const QString &path, const QByteArray &data, QString &error);

QString settingsStatusText(QSettings::Status status);

// The file behind the application's default settings, worked out without opening it (QSettings parses
// its file as soon as it is constructed). Empty where those settings are no file (the Windows registry).
QString defaultSettingsPath();

// A settings file over kStoredFileSizeLimit is renamed aside (never deleted or overwritten) with a
// warning before anything parses it, and the settings start empty; where it cannot be moved, the
// settings of this run are kept in memory only. Call before the first QSettings of the process. A normal
// file costs one stat. True when the file was over the bound.
bool setAsideOversizedSettings(const QString &path);

// Makes the settings file and its folder private (the file keeps its mode when the settings are
// rewritten, which happens through a temporary file that copies it).
void protectSettingsFile(const QSettings &settings);

// Writes pending changes now; on failure logs "[Data] 设置保存失败 …" and returns false.
bool saveSettings(QSettings &settings);

} // namespace nimbra::storage
