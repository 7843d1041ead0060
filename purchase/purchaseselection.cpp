#include "purchase/purchaseselection.h"

#include "purchase/grouppurchase.h"
#include "purchase/paymentorder.h"
#include "purchase/purchaserequests.h"
#include "purchase/rechargeapi.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

using nimbra::purchase::choiceOf;
using nimbra::purchase::variantInteger;
using nimbra::purchase::variantText;

namespace {

const QString kShared = QStringLiteral("shared");
const QString kPrivate = QStringLiteral("private");
const QString kGroup = QStringLiteral("group");

QString fieldOf(const QVariant &item, const char *key)
{
    return variantText(item.toMap().value(QString::fromLatin1(key)));
}

QString firstValue(const QVariantList &options)
{
    return options.isEmpty() ? QString() : fieldOf(options.first(), "value");
}

bool offers(const QVariantList &options, const QString &value)
{
    return std::any_of(options.cbegin(), options.cend(),
                       [&value](const QVariant &option) { return fieldOf(option, "value") == value; });
}

// A price of a plan for an IP type: the type's own when the plan has one, else the plan's.
QVariant pricedFor(const QVariantMap &plan, const char *byIp, const char *own, const QString &ipType)
{
    const QVariantMap prices = plan.value(QString::fromLatin1(byIp)).toMap();
    return prices.contains(ipType) ? prices.value(ipType) : plan.value(QString::fromLatin1(own));
}

} // namespace

PurchaseSelection::PurchaseSelection(RechargeApi *api, GroupPurchase *groups)
    : QObject(api)
    , m_api(api)
    , m_groups(groups)
    , m_mode(kShared)
    , m_groupMethod(QStringLiteral("normal"))
{
    connect(groups, &GroupPurchase::leaderTeamChanged, this, &PurchaseSelection::update);
    connect(api, &RechargeApi::requestFailed, this, &PurchaseSelection::onFailure);
    update();
}

void PurchaseSelection::setGroupMethod(const QString &method)
{
    if (method == m_groupMethod)
        return;
    m_groupMethod = method;
    emit groupMethodChanged();
    update();
}

bool PurchaseSelection::leaderMethod() const
{
    return m_mode == kGroup && m_groupMethod == QLatin1String("leader");
}

void PurchaseSelection::setAgreed(bool agreed)
{
    if (agreed == m_agreed)
        return;
    m_agreed = agreed;
    emit agreedChanged();
}

void PurchaseSelection::setPrepared(const QVariantMap &prepared)
{
    if (prepared == m_prepared)
        return;
    m_prepared = prepared;
    emit preparedChanged();
    applyPrepared();
}

void PurchaseSelection::setCatalogueGames(const QVariantList &games)
{
    if (games == m_catalogueGames)
        return;
    m_catalogueGames = games;
    // A game no longer offered is no choice any more.
    const QVariantList options = gameOptions();
    if (m_gameOptions.isEmpty() && !options.isEmpty() && !offers(options, m_gameId))
        setChoice(m_gameId, QString());
    emit optionsChanged();
}

QVariantList PurchaseSelection::gameOptions() const
{
    return m_gameOptions.isEmpty() ? catalogueGameOptions(m_catalogueGames) : m_gameOptions;
}

void PurchaseSelection::applyPrepared()
{
    const QVariantMap prepared = m_prepared.value(m_mode).toMap();
    m_products = prepared.value(QStringLiteral("products")).toList();
    m_ipOptions = prepared.value(QStringLiteral("ipOptions")).toList();
    m_regionOptions = prepared.value(QStringLiteral("regionOptions")).toList();
    m_teamOptions = prepared.value(QStringLiteral("teamOptions")).toList();
    m_gameOptions = prepared.value(QStringLiteral("gameOptions")).toList();
    emit optionsChanged();
    if (m_planIndex >= m_products.size())
        setPlanIndex(0);
    update();
    // On the next turn, as a page's own calls of the same turn (a mode, then its options) come first.
    if (!prepared.isEmpty() && !m_syncPending) {
        m_syncPending = true;
        QMetaObject::invokeMethod(this, &PurchaseSelection::syncDefaults, Qt::QueuedConnection);
    }
}

void PurchaseSelection::syncDefaults()
{
    m_syncPending = false;
    if (m_ipType.isEmpty() && !m_ipOptions.isEmpty())
        setChoice(m_ipType, firstValue(m_ipOptions));
    syncPrivateRegion();
    if (m_region.isEmpty() && !m_regionOptions.isEmpty())
        setChoice(m_region, firstValue(m_regionOptions));
    if (m_teamSize <= 0 && !m_teamOptions.isEmpty()) {
        m_teamSize =
            static_cast<int>(variantInteger(m_teamOptions.first().toMap().value(QStringLiteral("value"))));
        emit choiceChanged();
        update();
    }
    selectPrivateProduct();
}

void PurchaseSelection::syncPrivateRegion()
{
    if (m_mode != kPrivate)
        return;
    if (!m_privateRegionOptions.isEmpty() && !offers(m_privateRegionOptions, m_region))
        setChoice(m_region, firstValue(m_privateRegionOptions));
}

void PurchaseSelection::selectPrivateProduct()
{
    if (m_mode != kPrivate || m_ipType.isEmpty() || m_region.isEmpty())
        return;
    if (const int index = privateProductIndex(m_products, m_ipType, m_region); index >= 0)
        setPlanIndex(index);
}

void PurchaseSelection::setPlanIndex(int index)
{
    if (index == m_planIndex)
        return;
    m_planIndex = index;
    emit planIndexChanged();
    update();
}

void PurchaseSelection::setChoice(QString &field, const QString &value)
{
    if (field == value)
        return;
    field = value;
    emit choiceChanged();
    update();
}

void PurchaseSelection::selectMode(const QString &mode)
{
    setPlanIndex(0);
    if (mode != m_mode) {
        m_mode = mode;
        emit modeChanged();
        emit groupMethodChanged();
    }
    applyPrepared();
}

void PurchaseSelection::selectPlan(int index)
{
    if (index < 0 || index >= m_currentProducts.size())
        return;
    const QVariantMap plan = m_currentProducts.at(index).toMap();
    if (plan.value(QStringLiteral("available")) == QVariant(false))
        return;
    setPlanIndex(index);
    if (m_mode != kPrivate)
        return;
    setChoice(m_ipType, variantText(plan.value(QStringLiteral("nodeType"))));
    setChoice(m_region, variantText(plan.value(QStringLiteral("region"))));
}

void PurchaseSelection::selectPrivateIpType(const QVariant &value)
{
    setChoice(m_ipType, variantText(value));
    syncPrivateRegion();
    selectPrivateProduct();
}

void PurchaseSelection::selectPrivateRegion(const QVariant &value)
{
    setChoice(m_region, variantText(value));
    selectPrivateProduct();
}

void PurchaseSelection::selectGroupIpType(const QVariant &value)
{
    const QString ipType = variantText(value);
    if (ipType == m_ipType)
        return;
    setChoice(m_ipType, ipType);
    setPlanIndex(0);
    emit trace(QStringLiteral("[Recharge] 拼团 IP 类型切换=%1 可用套餐=%2")
                   .arg(ipType)
                   .arg(m_currentProducts.size()));
}

void PurchaseSelection::selectTeamSize(const QVariant &value)
{
    const int size = static_cast<int>(variantInteger(value));
    if (size == m_teamSize)
        return;
    m_teamSize = size;
    emit choiceChanged();
    setPlanIndex(0);
    update();
    emit trace(
        QStringLiteral("[Recharge] 拼团人数切换=%1 可用套餐=%2").arg(size).arg(m_currentProducts.size()));
}

void PurchaseSelection::selectGame(const QVariant &value)
{
    setChoice(m_gameId, variantText(value));
}

void PurchaseSelection::resetPlan()
{
    setPlanIndex(0);
}

void PurchaseSelection::reset()
{
    m_groupMethod = QStringLiteral("normal");
    m_ipType.clear();
    m_region.clear();
    m_teamSize = 0;
    m_gameId.clear();
    m_agreed = false;
    m_errorMessage.clear();
    emit groupMethodChanged();
    emit choiceChanged();
    emit agreedChanged();
    emit errorMessageChanged();
    m_mode = QString();
    selectMode(kShared);
}

void PurchaseSelection::pay()
{
    const QString agreement = QStringLiteral("请先阅读并同意《服务协议》与《购买须知》");
    if (m_api->sessionGuid() <= 0) {
        emit signInRequested();
        emit notice(QStringLiteral("请先登录后再购买"), true);
        return;
    }
    PaymentOrder *payment = m_api->payment();
    if (leaderMethod()) {
        if (!m_agreed)
            emit notice(agreement, true);
        else if (!payment->creating())
            m_groups->createSeatOrder();
        return;
    }
    const QVariantMap &plan = m_currentProduct;
    const bool unavailable = plan.value(QStringLiteral("available")) == QVariant(false);
    QString refusal;
    if (plan.isEmpty())
        refusal = QStringLiteral("当前购买方式暂无可用商品");
    else if (unavailable)
        refusal = variantText(plan.value(QStringLiteral("unavailableText")));
    else if (m_mode == kPrivate && m_region.isEmpty())
        refusal = QStringLiteral("请选择加速区服");
    else if (m_mode == kGroup && m_gameId.isEmpty())
        refusal = QStringLiteral("请选择要加速的游戏");
    else if (!m_agreed)
        refusal = agreement;
    if (!refusal.isEmpty() || unavailable) {
        emit notice(refusal, true);
        return;
    }
    if (payment->creating())
        return;
    const QVariantList games = gameOptions();
    const QVariantMap game = choiceOf(games, m_gameId);
    const QVariantMap selection{{QStringLiteral("ipType"), m_ipType},
                                {QStringLiteral("ipOptions"), m_ipOptions},
                                {QStringLiteral("region"), m_region},
                                {QStringLiteral("regionOptions"), m_regionOptions},
                                {QStringLiteral("products"), m_currentProducts},
                                {QStringLiteral("teamSize"), m_teamSize},
                                {QStringLiteral("gameOption"), game.isEmpty() ? QVariant() : QVariant(game)},
                                {QStringLiteral("gameId"), m_gameId}};
    const QVariantMap body =
        payment->createPlanOrder(m_mode, plan, selection, productName(plan, m_mode), m_priceFen);
    if (body.isEmpty()) {
        emit notice(QStringLiteral("该套餐缺少下单标识，已停止创建订单，请联系服务端检查购买入口数据"), true);
        return;
    }
    emit trace(QStringLiteral("[Recharge] creating %1 order; product keys=%2")
                   .arg(m_mode, plan.keys().join(QLatin1Char(','))));
    emit trace(
        QStringLiteral("[Recharge] order payload=") +
        QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(body)).toJson(QJsonDocument::Compact)));
}

// Failures the payment does not take are the page's: a toast, and the text of an empty plan list.
void PurchaseSelection::onFailure(const QString &operation, const QString &message)
{
    if (operation == QLatin1String("public_purchase_entry") ||
        m_api->payment()->takesFailure(operation, message))
        return;
    if (message != m_errorMessage) {
        m_errorMessage = message;
        emit errorMessageChanged();
    }
    emit notice(message, true);
}

void PurchaseSelection::update()
{
    const QVariantList products =
        m_mode == kGroup ? groupProducts(m_products, m_teamSize, m_ipType) : m_products;
    if (products != m_currentProducts) {
        m_currentProducts = products;
        emit currentProductsChanged();
    }
    const QVariantMap product =
        m_planIndex >= 0 && m_planIndex < products.size() ? products.at(m_planIndex).toMap() : QVariantMap();
    if (product != m_currentProduct) {
        m_currentProduct = product;
        emit currentProductChanged();
    }
    const QVariantList regions =
        m_mode == kPrivate ? privateRegions(products, m_ipType, m_regionOptions) : m_regionOptions;
    if (regions != m_privateRegionOptions) {
        m_privateRegionOptions = regions;
        emit privateRegionOptionsChanged();
    }

    QString caption;
    QString total = QStringLiteral("—");
    qint64 fen = 0;
    const bool seat = leaderMethod() && m_groups->leaderPriceFen() > 0;
    if (seat) {
        caption = QStringLiteral("已选团长团席位");
        fen = m_groups->leaderPriceFen();
        total = QStringLiteral("¥") + m_groups->leaderPriceText();
    } else if (leaderMethod()) {
        caption = QStringLiteral("请先查询拼团");
    } else if (product.isEmpty()) {
        caption = QStringLiteral("请选择套餐");
    } else {
        const QString flag = variantText(product.value(QStringLiteral("flag")));
        caption = !flag.isEmpty() ? flag : QStringLiteral("已选 ") + productName(product, m_mode);
    }
    if (!seat && !product.isEmpty()) {
        fen = productPrice(product, m_ipType);
        if (!leaderMethod())
            total = QStringLiteral("¥") + productPriceText(product, m_ipType);
    }
    if (caption != m_caption || total != m_totalText || fen != m_priceFen) {
        m_caption = caption;
        m_totalText = total;
        m_priceFen = fen;
        emit totalChanged();
    }
}

QVariantList PurchaseSelection::groupProducts(const QVariantList &products, int teamSize,
                                              const QString &ipType)
{
    const auto count = [](const QVariant &p) {
        return variantInteger(p.toMap().value(QStringLiteral("memberCount")));
    };
    const auto node = [](const QVariant &p) {
        return fieldOf(p, "ipType");
    };
    const bool hasCount =
        std::any_of(products.cbegin(), products.cend(), [&](const QVariant &p) { return count(p) > 0; });
    const bool hasNode = std::any_of(products.cbegin(), products.cend(),
                                     [&](const QVariant &p) { return !node(p).isEmpty(); });
    if (!hasCount && !hasNode)
        return products;
    QVariantList result;
    for (const QVariant &p : products) {
        if ((teamSize <= 0 || !hasCount || count(p) == teamSize) &&
            (ipType.isEmpty() || !hasNode || node(p) == ipType))
            result.append(p);
    }
    return result;
}

QVariantList PurchaseSelection::privateRegions(const QVariantList &products, const QString &ipType,
                                               const QVariantList &fallback)
{
    QVariantList result;
    QStringList seen;
    for (const QVariant &p : products) {
        const QString region = fieldOf(p, "region");
        if ((!ipType.isEmpty() && fieldOf(p, "nodeType") != ipType) || region.isEmpty() ||
            seen.contains(region))
            continue;
        seen.append(region);
        const QString name = fieldOf(p, "regionName");
        result.append(QVariantMap{{QStringLiteral("value"), region},
                                  {QStringLiteral("text"), name.isEmpty() ? region : name}});
    }
    return result.isEmpty() ? fallback : result;
}

int PurchaseSelection::privateProductIndex(const QVariantList &products, const QString &ipType,
                                           const QString &region)
{
    if (ipType.isEmpty() || region.isEmpty())
        return -1;
    for (int i = 0; i < products.size(); ++i) {
        if (fieldOf(products.at(i), "nodeType") == ipType && fieldOf(products.at(i), "region") == region)
            return i;
    }
    return -1;
}

QVariantList PurchaseSelection::catalogueGameOptions(const QVariantList &games)
{
    QVariantList result;
    for (const QVariant &item : games) {
        const QVariantMap game = item.toMap();
        const QString packageName = variantText(game.value(QStringLiteral("package_name")));
        const QString id = variantText(game.value(QStringLiteral("id")));
        const QString value = packageName.isEmpty() ? id : packageName;
        if (value.isEmpty())
            continue;
        const QString name = variantText(game.value(QStringLiteral("name")));
        result.append(QVariantMap{
            {QStringLiteral("value"), value},
            {QStringLiteral("text"), name.isEmpty() ? value : name},
            {QStringLiteral("packageName"), packageName},
            {QStringLiteral("gameId"), id.isEmpty() ? QVariant() : game.value(QStringLiteral("id"))}});
    }
    return result;
}

qint64 PurchaseSelection::productPrice(const QVariantMap &plan, const QString &ipType)
{
    return variantInteger(pricedFor(plan, "pricesByIp", "priceFen", ipType));
}

QString PurchaseSelection::productPriceText(const QVariantMap &plan, const QString &ipType)
{
    const QString text = variantText(pricedFor(plan, "priceTextsByIp", "priceText", ipType));
    return text.isEmpty() ? QStringLiteral("0") : text;
}

QString PurchaseSelection::productName(const QVariantMap &plan, const QString &mode)
{
    const QString name = variantText(plan.value(QStringLiteral("name")));
    if (!name.isEmpty())
        return name;
    if (mode == kPrivate)
        return QStringLiteral("独享 IP 套餐");
    return mode == kGroup ? QStringLiteral("拼团套餐") : QStringLiteral("共享套餐");
}
