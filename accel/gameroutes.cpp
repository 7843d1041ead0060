#include "accel/gameroutes.h"

#include "platform/netpolicy.h"
#include "platform/routecommand.h"
#include "state/storedfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

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

QString routeRefusal(const RouteEntry &entry, const QStringList &keepOut)
{
    const auto destination = platform::parseIPv4(entry.destination.toStdString());
    const auto mask = platform::parseIPv4(entry.mask.toStdString());
    const auto prefixLength = mask ? platform::prefixLengthOfMask(*mask) : std::nullopt;
    if (!destination || !prefixLength)
        return QStringLiteral("无效的网段");
    if (const char *reason = platform::gameRouteRefusal(*destination, *prefixLength))
        return QString::fromUtf8(reason);
    for (const QString &text : keepOut) {
        const auto address = platform::parseIPv4(text.toStdString());
        if (address && platform::rangeHolds(*destination, *prefixLength, *address))
            return QStringLiteral("包含服务或节点地址 %1").arg(text);
    }
    return {};
}

RouteJournal::RouteJournal(const QString &path)
    : m_path(path)
{}

namespace {

// Only well-formed entries: the journal decides which system routes get deleted.
bool appendJournalEntry(const QJsonValue &value, QList<RouteEntry> &entries)
{
    const QJsonObject object = value.toObject();
    const RouteEntry entry{object.value(QLatin1String("destination")).toString(),
                           object.value(QLatin1String("mask")).toString(),
                           object.value(QLatin1String("gateway")).toString()};
    if (!platform::parseIPv4(entry.destination.toStdString()) ||
        !platform::parseIPv4(entry.mask.toStdString()) || !platform::parseIPv4(entry.gateway.toStdString()))
        return false;
    if (!entries.contains(entry))
        entries.append(entry);
    return true;
}

} // namespace

QList<RouteEntry> RouteJournal::load() const
{
    QByteArray content;
    QString error;
    const storage::ReadStatus status = storage::readStoredFile(m_path, content, error);
    if (status == storage::ReadStatus::Missing)
        return {};
    if (status != storage::ReadStatus::Ok) {
        qWarning().noquote()
            << QStringLiteral("[Route] 路由记录无效，已忽略 path=%1 error=%2").arg(m_path, error);
        return {};
    }
    QList<RouteEntry> entries;
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    int rejected = 0;
    if (parseError.error == QJsonParseError::NoError && document.isArray()) {
        for (const QJsonValue &value : document.array())
            rejected += appendJournalEntry(value, entries) ? 0 : 1;
    } else {
        // A damaged journal may still name routes of ours: every flat object in it that parses on its
        // own and holds a well-formed entry is kept, so those routes are still cleaned up.
        static const QRegularExpression objectPattern(QStringLiteral("\\{[^{}]*\\}"));
        const QString text = QString::fromUtf8(content);
        for (auto it = objectPattern.globalMatch(text); it.hasNext();) {
            const QJsonDocument piece = QJsonDocument::fromJson(it.next().captured(0).toUtf8());
            if (piece.isObject())
                appendJournalEntry(piece.object(), entries);
        }
        error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                             : QStringLiteral("not an array");
    }
    if (!error.isEmpty() || rejected > 0)
        qWarning().noquote() << QStringLiteral("[Route] 路由记录已损坏 path=%1 error=%2 validEntries=%3")
                                    .arg(m_path, error.isEmpty()
                                                     ? QStringLiteral("%1 invalid entries").arg(rejected)
                                                     : error)
                                    .arg(entries.size());
    return entries;
}

void RouteJournal::clear()
{
    QFile::remove(m_path);
}

void RouteJournal::save(const QList<RouteEntry> &entries)
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
    QString error;
    // A failed write keeps the previous journal rather than an empty or truncated one.
    if (storage::writeStoredFile(m_path, QJsonDocument(array).toJson(QJsonDocument::Indented), error) !=
        storage::WriteStatus::Ok)
        qWarning().noquote()
            << QStringLiteral("[Route] 路由记录写入失败 path=%1 error=%2").arg(m_path, error);
}

} // namespace nimbra::accel
