#include "accel/gameroutes.h"

#include "platform/routecommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace nimbra::accel {

bool parseRouteEntry(const QString &text, RouteEntry &entry, QString &error)
{
    const QString trimmed = text.trimmed();
    const qsizetype slash = trimmed.indexOf(QLatin1Char('/'));
    const QString addressText = (slash < 0 ? trimmed : trimmed.left(slash)).trimmed();
    const QString prefixText = slash < 0 ? QStringLiteral("16") : trimmed.mid(slash + 1).trimmed();

    const auto address = platform::parseIPv4(addressText.toStdString());
    if (!address) {
        error = QStringLiteral("游戏 IP 不是有效的 IPv4 地址：%1").arg(trimmed);
        return false;
    }
    bool ok = false;
    const int prefix = prefixText.toInt(&ok, 10);
    if (!ok || prefix < 0 || prefix > 32 || prefixText.startsWith(QLatin1Char('+'))) {
        error = QStringLiteral("游戏 IP 网段长度无效：%1").arg(trimmed);
        return false;
    }
    const std::uint32_t mask = platform::maskOfPrefixLength(prefix);
    entry.destination = QString::fromStdString(platform::formatIPv4(*address & mask));
    entry.mask = QString::fromStdString(platform::formatIPv4(mask));
    return true;
}

RouteJournal::RouteJournal(const QString &path)
    : m_path(path)
{}

QList<RouteEntry> RouteJournal::load() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<RouteEntry> entries;
    const QJsonArray array = QJsonDocument::fromJson(file.readAll()).array();
    for (const QJsonValue &value : array) {
        const QJsonObject object = value.toObject();
        RouteEntry entry{object.value(QLatin1String("destination")).toString(),
                         object.value(QLatin1String("mask")).toString(),
                         object.value(QLatin1String("gateway")).toString()};
        // Only well-formed entries: the journal decides which system routes get deleted.
        if (platform::parseIPv4(entry.destination.toStdString()) &&
            platform::parseIPv4(entry.mask.toStdString()) &&
            platform::parseIPv4(entry.gateway.toStdString()) && !entries.contains(entry))
            entries.append(entry);
    }
    return entries;
}

void RouteJournal::add(const RouteEntry &entry)
{
    QList<RouteEntry> entries = load();
    if (!entries.contains(entry)) {
        entries.append(entry);
        write(entries);
    }
}

void RouteJournal::remove(const RouteEntry &entry)
{
    QList<RouteEntry> entries = load();
    if (entries.removeAll(entry) > 0)
        write(entries);
}

void RouteJournal::clear()
{
    QFile::remove(m_path);
}

void RouteJournal::write(const QList<RouteEntry> &entries)
{
    if (entries.isEmpty()) {
        QFile::remove(m_path);
        return;
    }
    QJsonArray array;
    for (const RouteEntry &entry : entries)
        array.append(QJsonObject{{QStringLiteral("destination"), entry.destination},
                                 {QStringLiteral("mask"), entry.mask},
                                 {QStringLiteral("gateway"), entry.gateway}});
    QDir().mkpath(QFileInfo(m_path).path());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning().noquote()
            << QStringLiteral("[Route] 路由记录写入失败 path=%1 error=%2").arg(m_path, file.errorString());
        return;
    }
    file.write(QJsonDocument(array).toJson(QJsonDocument::Indented));
    if (!file.commit())
        qWarning().noquote()
            << QStringLiteral("[Route] 路由记录写入失败 path=%1 error=%2").arg(m_path, file.errorString());
}

} // namespace nimbra::accel
