#include "catalog/gamelistapi.h"

#include "net/httpmanager.h"
#include "net/requestenvelope.h"
#include "state/globaldata.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {

const QString kCommon = QStringLiteral("common");
const QString kPage = QStringLiteral("page");
const QString kDetail = QStringLiteral("detail");

QString text(const QJsonObject &object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : QString();
}

// The server id may come as a number or as text; numbers are written in decimal.
QString idText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double: {
        const double number = value.toDouble();
        const qint64 whole = value.toInteger();
        return static_cast<double>(whole) == number ? QString::number(whole)
                                                    : QString::number(number, 'g', 17);
    }
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return QString();
    }
}

QStringList ipList(const QJsonValue &value)
{
    QStringList result;
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array) {
            const QString entry = element.isString() ? element.toString().trimmed() : QString();
            if (!entry.isEmpty())
                result.append(entry);
        }
        return result;
    }
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    const QString joined = value.isString() ? value.toString().trimmed() : QString();
    return joined.split(separators, Qt::SkipEmptyParts);
}

QString detailKey(const QString &packageName, const QString &country)
{
    return packageName.trimmed() + QChar(0x1F) + country.trimmed();
}

} // namespace

GameListApi::GameListApi(const QString &baseUrl, QObject *parent)
    : QObject(parent)
    , m_endpoint(baseUrl)
{}

void GameListApi::setHttpManager(HttpManager *manager)
{
    if (!m_endpoint.attach(manager, this, &GameListApi::handleResponse))
        return;
}

void GameListApi::setBaseUrl(const QString &url)
{
    if (m_endpoint.setBaseUrl(url))
        emit baseUrlChanged();
}

void GameListApi::loadCommon()
{
    postJson(kCommon, GlobalData::instance()->gameListCommonPath(), QJsonObject());
}

void GameListApi::loadPage(int page, const QString &category, const QString &keyword)
{
    postJson(kPage, GlobalData::instance()->gameListPagePath(),
             {{QStringLiteral("page"), qMax(1, page)},
              {QStringLiteral("category"), category.trimmed()},
              {QStringLiteral("keyword"), keyword.trimmed()}});
}

void GameListApi::loadDetail(const QString &packageName, const QString &country)
{
    const QString package = packageName.trimmed();
    const QString region = country.trimmed();
    if (package.isEmpty() || region.isEmpty()) {
        emit requestFailed(kDetail, QStringLiteral("游戏包名或区服为空，无法获取游戏 IP"));
        return;
    }
    const QString key = detailKey(package, region);
    if (m_pendingDetailKeys.contains(key))
        return;
    m_pendingDetailKeys.insert(key);
    const quint64 requestId =
        postJson(kDetail, GlobalData::instance()->gameListDetailPath(),
                 {{QStringLiteral("package_name"), package}, {QStringLiteral("country"), region}});
    if (requestId != 0)
        m_detailKeys.insert(requestId, key);
    else
        m_pendingDetailKeys.remove(key);
}

quint64 GameListApi::postJson(const QString &operation, const QString &path, const QJsonObject &body)
{
    if (!m_endpoint.http()) {
        emit requestFailed(operation, QStringLiteral("网络管理器未初始化"));
        return 0;
    }
    const quint64 requestId = m_endpoint.http()->postJson(
        operation, path, QJsonDocument(body).toJson(QJsonDocument::Compact), 0, false, false);
    m_operations.insert(requestId, operation);
    if (++m_pendingCount == 1)
        emit busyChanged();
    return requestId;
}

QVariantMap GameListApi::normalizeGame(const QJsonObject &game) const
{
    const QString title = text(game, QLatin1StringView("title")).trimmed();
    QString id = idText(game.value(QLatin1StringView("id"))).trimmed();
    if (id.isEmpty())
        id = title;
    bool numeric = false;
    qint64 numericId = id.toLongLong(&numeric, 10);
    if (!numeric)
        numericId = 0;
    const QString en = title.isEmpty()    ? QStringLiteral("GAME")
                       : title.size() > 4 ? title.left(2).toUpper()
                                          : title.toUpper();
    const QString packageName = text(game, QLatin1StringView("package_name")).trimmed();
    const QString icon = text(game, QLatin1StringView("icon"));
    const QString largeImage = text(game, QLatin1StringView("large_image"));
    const QStringList ips = ipList(game.value(QLatin1StringView("ip_list")));
    const QJsonValue popularValue = game.value(QLatin1StringView("popular"));
    const int popular = popularValue.isDouble() ? popularValue.toInt() : 0;
    const QString country = text(game, QLatin1StringView("country")).trimmed();
    // Wrapping multiplication keeps huge ids well defined.
    const qint64 hue = static_cast<qint64>(static_cast<quint64>(37) * static_cast<quint64>(numericId)) % 360;

    return {
        {QStringLiteral("id"), id},
        {QStringLiteral("numericId"), numericId},
        {QStringLiteral("title"), title},
        {QStringLiteral("name"), title},
        {QStringLiteral("en"), en},
        {QStringLiteral("package_name"), packageName},
        {QStringLiteral("packageName"), packageName},
        {QStringLiteral("icon"), icon},
        {QStringLiteral("iconSource"), icon},
        {QStringLiteral("large_image"), largeImage},
        {QStringLiteral("backgroundSource"), largeImage},
        {QStringLiteral("ip_list"), ips},
        {QStringLiteral("ipList"), ips},
        {QStringLiteral("introduction"), text(game, QLatin1StringView("introduction"))},
        {QStringLiteral("official_url"), text(game, QLatin1StringView("official_url"))},
        {QStringLiteral("popular"), popular},
        {QStringLiteral("hot"), popular == 2 || popular == 3},
        {QStringLiteral("country"), country},
        {QStringLiteral("cat"), country.isEmpty() ? QStringLiteral("全部") : country},
        {QStringLiteral("vendor"), country.isEmpty() ? QStringLiteral("在线游戏") : country},
        {QStringLiteral("hue"), static_cast<int>(hue)},
        {QStringLiteral("ping"), 0},
        {QStringLiteral("servers"), QStringList{country.isEmpty() ? QStringLiteral("默认区服") : country}},
    };
}

void GameListApi::handleResponse(quint64 requestId, const QString &, bool success, int,
                                 const QVariantMap &response, const QString &errorMessage)
{
    const auto found = m_operations.constFind(requestId);
    if (found == m_operations.constEnd())
        return;
    const QString operation = found.value();
    m_operations.erase(found);
    if (const auto key = m_detailKeys.constFind(requestId); key != m_detailKeys.constEnd()) {
        m_pendingDetailKeys.remove(key.value());
        m_detailKeys.erase(key);
    }
    if (m_pendingCount > 0 && --m_pendingCount == 0)
        emit busyChanged();

    if (!success) {
        emit requestFailed(operation,
                           errorMessage.isEmpty() ? QStringLiteral("游戏列表请求失败") : errorMessage);
        return;
    }
    const QJsonObject data = QJsonObject::fromVariantMap(response.value(QStringLiteral("data")).toMap());
    static const QHash<QString, void (GameListApi::*)(const QJsonObject &)> handlers{
        {kCommon, &GameListApi::onCommon},
        {kPage, &GameListApi::onPage},
        {kDetail, &GameListApi::onDetail},
    };
    if (const auto handler = handlers.value(operation))
        (this->*handler)(data);
}

void GameListApi::onCommon(const QJsonObject &data)
{
    QVariantList games;
    QSet<QString> seen;
    const QJsonArray groups = data.value(QLatin1StringView("groups")).toArray();
    for (const QJsonValue &groupValue : groups) {
        const QJsonObject group = groupValue.toObject();
        const QJsonArray list = group.value(QLatin1StringView("list")).toArray();
        for (const QJsonValue &gameValue : list) {
            const QJsonObject object = gameValue.toObject();
            if (object.isEmpty())
                continue;
            QVariantMap game = normalizeGame(object);
            const QString id = game.value(QStringLiteral("id")).toString();
            if (seen.contains(id))
                continue;
            seen.insert(id);
            game.insert(QStringLiteral("commonType"), group.value(QLatin1StringView("type")).toInt());
            game.insert(QStringLiteral("commonTypeName"), text(group, QLatin1StringView("type_name")));
            games.append(game);
        }
    }
    emit commonLoaded(games);
}

void GameListApi::onDetail(const QJsonObject &data)
{
    QVariantMap game = normalizeGame(data);
    game.insert(QStringLiteral("introduction"), data.value(QLatin1StringView("introduction")).toVariant());
    game.insert(QStringLiteral("official_url"), data.value(QLatin1StringView("official_url")).toVariant());
    emit detailLoaded(game);
}

void GameListApi::onPage(const QJsonObject &data)
{
    QVariantList games;
    const QJsonArray list = data.value(QLatin1StringView("list")).toArray();
    for (const QJsonValue &gameValue : list) {
        const QJsonObject object = gameValue.toObject();
        if (!object.isEmpty())
            games.append(normalizeGame(object));
    }
    emit pageLoaded(games, data.value(QLatin1StringView("categories")).toArray().toVariantList(),
                    data.value(QLatin1StringView("page")).toInt(1),
                    data.value(QLatin1StringView("page_size")).toInt(12),
                    data.value(QLatin1StringView("total")).toInt(0),
                    data.value(QLatin1StringView("total_pages")).toInt(0),
                    data.value(QLatin1StringView("has_more")).toBool(false));
}
