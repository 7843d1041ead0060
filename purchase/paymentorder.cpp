#include "purchase/paymentorder.h"

#include "purchase/purchaserecords.h"
#include "purchase/purchaserequests.h"
#include "purchase/rechargeapi.h"
#include "state/purchasemoney.h"

#include <QDateTime>

#include <chrono>

namespace {

const QString kWaiting = QStringLiteral("等待扫码");
const QString kDefaultProduct = QStringLiteral("会员订单");
constexpr qint64 kPollMsecs = 3000;

qint64 steadyMsecs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool alreadyPaid(const QString &message)
{
    for (const char *part : {"订单已处理", "已经支付", "订单已支付"}) {
        if (message.contains(QString::fromUtf8(part)))
            return true;
    }
    return false;
}

} // namespace

PaymentOrder::PaymentOrder(RechargeApi *api)
    : QObject(api)
    , m_api(api)
    , m_clock(steadyMsecs)
    , m_productName(kDefaultProduct)
    , m_statusText(kWaiting)
{
    m_ticker.setInterval(1000);
    connect(&m_ticker, &QTimer::timeout, this, &PaymentOrder::tick);
    connect(api, &RechargeApi::orderCreated, this, &PaymentOrder::onOrderCreated);
    connect(api, &RechargeApi::pcPaymentReady, this, &PaymentOrder::onPaymentReady);
    connect(api, &RechargeApi::payStatusUpdated, this, &PaymentOrder::onStatus);
    connect(api, &RechargeApi::orderCancelled, this, &PaymentOrder::onCancelled);
    connect(api, &RechargeApi::requestFailed, this, &PaymentOrder::onFailure);
}

QString PaymentOrder::amountText() const
{
    return nimbra::purchase::moneyText(m_amountFen);
}

void PaymentOrder::setClock(std::function<qint64()> monotonicMsecs)
{
    m_clock = std::move(monotonicMsecs);
}

void PaymentOrder::create(const QString &kind, const QVariantMap &payload, const QString &productName,
                          qint64 expectedFen)
{
    using Create = void (RechargeApi::*)(qint64, const QVariantMap &);
    static const QHash<QString, Create> calls{
        {QStringLiteral("shared"), &RechargeApi::createSharedOrder},
        {QStringLiteral("private"), &RechargeApi::createPrivateOrder},
        {QStringLiteral("group"), &RechargeApi::createGroupOrder},
        {QStringLiteral("leader_join"), &RechargeApi::createLeaderJoinOrder}};
    const Create call = calls.value(kind);
    if (!call || m_creating)
        return;
    // Nothing of the last purchase stands for this one.
    m_creating = true;
    m_orderId = 0;
    m_codeUrl.clear();
    m_expireAt = 0;
    m_statusText = kWaiting;
    m_productName = productName.isEmpty() ? kDefaultProduct : productName;
    m_amountFen = std::max<qint64>(0, expectedFen);
    m_expectedFen = m_amountFen;
    emit stateChanged();
    (m_api->*call)(m_api->sessionGuid(), payload);
}

QVariantMap PaymentOrder::createPlanOrder(const QString &mode, const QVariantMap &plan,
                                          const QVariantMap &selection, const QString &productName,
                                          qint64 expectedFen)
{
    const QVariantMap body = nimbra::purchase::planOrderBody(mode, plan, selection);
    if (!body.isEmpty())
        create(mode, body, productName, expectedFen);
    return body;
}

QVariantMap PaymentOrder::createSeatOrder(const QVariantMap &team, const QString &code,
                                          const QString &packageName, const QString &productName,
                                          qint64 expectedFen)
{
    const QVariantMap body = nimbra::purchase::seatOrderBody(team, code, packageName);
    create(QStringLiteral("leader_join"), body, productName, expectedFen);
    return body;
}

void PaymentOrder::resume(const QVariantMap &order)
{
    const qint64 id = order.value(QStringLiteral("order_id")).toLongLong();
    if (id <= 0 || m_creating)
        return;
    m_creating = true;
    m_orderId = id;
    m_productName = order.value(QStringLiteral("product_name")).toString();
    if (m_productName.isEmpty())
        m_productName = kDefaultProduct;
    m_amountFen = order.value(QStringLiteral("price_fen")).toLongLong();
    m_expectedFen = m_amountFen;
    m_expireAt = order.value(QStringLiteral("expire_at")).toLongLong();
    emit stateChanged();
    m_api->createPcPayment(m_api->sessionGuid(), id);
}

void PaymentOrder::refresh()
{
    if (m_orderId > 0)
        m_api->queryPayStatus(m_api->sessionGuid(), m_orderId);
}

void PaymentOrder::cancel()
{
    if (m_orderId > 0)
        m_api->cancelOrder(m_api->sessionGuid(), m_orderId);
}

void PaymentOrder::close()
{
    setOpened(false);
    emit stateChanged();
}

bool PaymentOrder::takesFailure(const QString &operation, const QString &message) const
{
    return operation == QLatin1String("pay_status") ||
           (operation == QLatin1String("pc_pay") && m_orderId > 0 && alreadyPaid(message));
}

void PaymentOrder::end()
{
    setOpened(false);
    m_creating = false;
    m_orderId = 0;
    m_codeUrl.clear();
    m_productName = kDefaultProduct;
    m_amountFen = 0;
    m_expectedFen = 0;
    m_expireAt = 0;
    m_offsetMsecs = 0;
    m_statusText = kWaiting;
    setRemaining(0);
    emit stateChanged();
}

void PaymentOrder::onOrderCreated(const QString &kind, const QVariantMap &order, qint64 serverTime)
{
    const bool seat = kind == QLatin1String("leader_join");
    // An order this object did not ask for must not be checked against, or named after, the last one.
    if (!m_creating) {
        m_productName = seat ? QStringLiteral("团长团席位") : kDefaultProduct;
        m_amountFen = 0;
        m_expectedFen = 0;
    }
    m_creating = true;
    const QString ordered = order.value(QStringLiteral("product_name")).toString();
    if (seat && !ordered.isEmpty())
        m_productName = ordered;
    const qint64 id = order.value(QStringLiteral("order_id")).toLongLong();
    if (id <= 0) {
        m_creating = false;
        emit stateChanged();
        emit notice(QStringLiteral("订单创建成功，但未返回订单号"), true);
        return;
    }
    m_orderId = id;
    m_expireAt = order.value(QStringLiteral("expire_at")).toLongLong();
    syncClock(serverTime);
    const qint64 created = order.value(QStringLiteral("price_fen")).toLongLong();
    // A seat costs what its team costs now, which the page only knew from the last lookup.
    if (seat || m_expectedFen <= 0)
        m_expectedFen = created;
    if (created > 0)
        m_amountFen = created;
    if (mismatch(created)) {
        m_creating = false;
        stop(QStringLiteral("订单金额不一致：所选 ¥%1，服务器创建 ¥%2。已停止支付，请在订单记录中取消该订单")
                 .arg(nimbra::purchase::moneyText(m_expectedFen), nimbra::purchase::moneyText(created)),
             true);
        return;
    }
    m_statusText = QStringLiteral("正在获取微信二维码");
    emit stateChanged();
    m_api->createPcPayment(m_api->sessionGuid(), id);
}

void PaymentOrder::onPaymentReady(const QVariantMap &payment, const QString &codeUrl, qint64 serverTime)
{
    m_creating = false;
    if (const qint64 id = payment.value(QStringLiteral("order_id")).toLongLong(); id > 0)
        m_orderId = id;
    m_codeUrl = codeUrl;
    // A payment without an expiry or a price keeps the order's.
    if (const qint64 expireAt = payment.value(QStringLiteral("expire_at")).toLongLong(); expireAt > 0)
        m_expireAt = expireAt;
    syncClock(serverTime);
    const qint64 priced = payment.value(QStringLiteral("price_fen")).toLongLong();
    const qint64 resolved = priced > 0 ? priced : m_amountFen;
    if (mismatch(resolved)) {
        stop(QStringLiteral("微信支付金额与所选套餐不一致，已停止支付"), true);
        return;
    }
    m_amountFen = resolved;
    m_statusText = QStringLiteral("等待微信扫码");
    m_lastPoll = m_clock();
    setOpened(true);
    updateCountdown();
    emit stateChanged();
    if (m_opened)
        emit notice(QStringLiteral("请使用微信扫码支付"), false);
}

void PaymentOrder::onStatus(const QVariantMap &status, qint64 serverTime)
{
    const QVariantMap order = status.value(QStringLiteral("order")).toMap();
    // The answer to a poll of an earlier order says nothing about this one.
    const qint64 id = order.value(QStringLiteral("order_id")).toLongLong();
    if (m_orderId <= 0 || (id > 0 && id != m_orderId))
        return;
    if (const qint64 expireAt = order.value(QStringLiteral("expire_at")).toLongLong(); expireAt > 0)
        m_expireAt = expireAt;
    if (serverTime > 0)
        syncClock(serverTime);
    updateCountdown();
    const QString state = order.value(QStringLiteral("payment_status")).toString();
    m_statusText = nimbra::purchase::paymentStatusText(state);
    if (state == QLatin1String("paid")) {
        const bool group = order.value(QStringLiteral("is_group")).toBool();
        stop(group ? QStringLiteral("支付成功，正在刷新拼团状态")
                   : QStringLiteral("支付成功，会员权益已更新"),
             false);
        if (group)
            emit groupOrderPaid(order);
    } else if (state == QLatin1String("closed") || state == QLatin1String("expired") ||
               state == QLatin1String("refunded") || state == QLatin1String("exception")) {
        stop(m_statusText, true);
    } else {
        emit stateChanged();
    }
}

void PaymentOrder::onCancelled(qint64 orderId)
{
    // An order cancelled from the history is reported too; the code shown goes only with its own order.
    if (orderId == m_orderId)
        setOpened(false);
    stop(QStringLiteral("订单已取消"), false);
}

void PaymentOrder::onFailure(const QString &operation, const QString &message)
{
    if (operation == QLatin1String("pay_status")) {
        // A poll refused for this computer's clock says so: the next one is signed on the service's time.
        m_statusText = message.startsWith(QStringLiteral("电脑时间不准确"))
                           ? QStringLiteral("电脑时间不准确，已按服务器时间校正，稍后继续查询")
                           : QStringLiteral("网络波动，稍后继续查询");
        emit stateChanged();
        return;
    }
    if (takesFailure(operation, message)) {
        m_creating = false;
        m_statusText = QStringLiteral("正在确认订单状态");
        emit stateChanged();
        refresh();
        return;
    }
    // A failed order or payment request ends the creating state, or the pay button would stay locked.
    if (m_creating &&
        (operation.startsWith(QLatin1String("create_")) || operation == QLatin1String("pc_pay") ||
         operation == QLatin1String("leader_join_order"))) {
        m_creating = false;
        emit stateChanged();
    }
}

void PaymentOrder::tick()
{
    updateCountdown();
    if (!m_opened || m_orderId <= 0 || m_remainingSeconds <= 0)
        return;
    const qint64 now = m_clock();
    if (now - m_lastPoll < kPollMsecs)
        return;
    // A poll that finds the client busy is skipped, not queued: the next is due three seconds later.
    m_lastPoll = now;
    if (!m_api->busy())
        refresh();
}

void PaymentOrder::updateCountdown()
{
    if (!m_opened || m_expireAt <= 0) {
        setRemaining(0);
        return;
    }
    const qint64 left = m_expireAt * 1000 - (m_clock() + m_offsetMsecs);
    setRemaining(left > 0 ? static_cast<int>(std::min<qint64>(left / 1000, INT_MAX)) : 0);
    if (m_remainingSeconds > 0)
        return;
    m_statusText = QStringLiteral("订单已过期");
    stop(QStringLiteral("订单已过期，请重新下单"), true);
}

void PaymentOrder::setOpened(bool opened)
{
    m_opened = opened;
    if (opened && !m_ticker.isActive())
        m_ticker.start();
    else if (!opened)
        m_ticker.stop();
}

void PaymentOrder::setRemaining(int seconds)
{
    if (seconds == m_remainingSeconds)
        return;
    m_remainingSeconds = seconds;
    emit remainingSecondsChanged();
}

void PaymentOrder::stop(const QString &message, bool warning)
{
    setOpened(false);
    emit stateChanged();
    emit notice(message, warning);
}

void PaymentOrder::syncClock(qint64 serverTime)
{
    const qint64 service = serverTime > 0 ? serverTime * 1000 : QDateTime::currentMSecsSinceEpoch();
    m_offsetMsecs = service - m_clock();
}
