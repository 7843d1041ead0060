#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <functional>

class RechargeApi;

// The purchase in progress: it creates the order, checks the amount the service asks for against the
// one chosen, obtains the WeChat payment, counts the payment time down and asks for the status every
// three seconds while its code is shown, until the order is paid, closed, expired or cancelled. It
// belongs to the purchase client, not to a page, so leaving the membership tab neither stops nor loses
// it; the end of the session (sign-out) ends it. Amounts are whole fen.
class PaymentOrder : public QObject
{
    Q_OBJECT
    // The payment code is shown (and counts down, and polls).
    Q_PROPERTY(bool opened READ opened NOTIFY stateChanged)
    // An order or its payment is being asked for: the pay buttons wait.
    Q_PROPERTY(bool creating READ creating NOTIFY stateChanged)
    // A number to QML, whose tools know no 64-bit integer; ids stay exact below 2^53.
    Q_PROPERTY(double orderId READ orderIdNumber NOTIFY stateChanged)
    Q_PROPERTY(QString codeUrl READ codeUrl NOTIFY stateChanged)
    Q_PROPERTY(QString productName READ productName NOTIFY stateChanged)
    Q_PROPERTY(QString amountText READ amountText NOTIFY stateChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY stateChanged)
    Q_PROPERTY(bool canCancel READ canCancel NOTIFY stateChanged)
    Q_PROPERTY(int remainingSeconds READ remainingSeconds NOTIFY remainingSecondsChanged)

public:
    explicit PaymentOrder(RechargeApi *api);

    bool opened() const { return m_opened; }
    bool creating() const { return m_creating; }
    qint64 orderId() const { return m_orderId; }
    double orderIdNumber() const { return static_cast<double>(m_orderId); }
    QString codeUrl() const { return m_codeUrl; }
    QString productName() const { return m_productName; }
    qint64 amountFen() const { return m_amountFen; }
    QString amountText() const;
    QString statusText() const { return m_statusText; }
    bool canCancel() const { return m_orderId > 0; }
    int remainingSeconds() const { return m_remainingSeconds; }

    // A new order of `kind` ("shared", "private", "group" or "leader_join") with the request `payload`,
    // for `expectedFen` (the price shown; a leader seat takes the price the service names).
    Q_INVOKABLE void create(const QString &kind, const QVariantMap &payload, const QString &productName,
                            qint64 expectedFen);
    // The order of a prepared plan with the choices made (purchaserequests.h, planOrderBody), for
    // `expectedFen`; returns the body sent, empty when the plan names nothing to order (nothing is sent).
    Q_INVOKABLE QVariantMap createPlanOrder(const QString &mode, const QVariantMap &plan,
                                            const QVariantMap &selection, const QString &productName,
                                            qint64 expectedFen);
    // A seat in a looked-up leader's team for a game; returns the body sent.
    Q_INVOKABLE QVariantMap createSeatOrder(const QVariantMap &team, const QString &code,
                                            const QString &packageName, const QString &productName,
                                            qint64 expectedFen);
    // Pays a pending order of the purchase history (an order record of the client).
    Q_INVOKABLE void resume(const QVariantMap &order);
    // "我已支付，刷新": asks for the status now.
    Q_INVOKABLE void refresh();
    Q_INVOKABLE void cancel();
    // Hides the code; the order stays pending on the service and can be paid from the history.
    Q_INVOKABLE void close();
    // Whether a failure of the client is this payment's to report (the page shows the others).
    Q_INVOKABLE bool takesFailure(const QString &operation, const QString &message) const;
    // Forgets everything: the session that asked for the payment has ended.
    void end();

    // One step of the countdown and the poll while the code is shown; the timer calls it each second.
    void tick();
    // Tests: the monotonic clock in milliseconds and the tick's interval.
    void setClock(std::function<qint64()> monotonicMsecs);
    void setTickInterval(int msecs) { m_ticker.setInterval(msecs); }

signals:
    void stateChanged();
    void remainingSecondsChanged();
    // A message for the user; `warning` for the failures.
    void notice(const QString &message, bool warning);
    // A group order was paid: its team is worth showing.
    void groupOrderPaid(const QVariantMap &order);

private:
    void onOrderCreated(const QString &kind, const QVariantMap &order, qint64 serverTime);
    void onPaymentReady(const QVariantMap &payment, const QString &codeUrl, qint64 serverTime);
    void onStatus(const QVariantMap &status, qint64 serverTime);
    void onCancelled(qint64 orderId);
    void onFailure(const QString &operation, const QString &message);
    void updateCountdown();
    void setOpened(bool opened);
    void setRemaining(int seconds);
    void stop(const QString &message, bool warning);
    // The service's clock (serverTime, else the wall clock) against the monotonic one.
    void syncClock(qint64 serverTime);
    bool mismatch(qint64 fen) const { return m_expectedFen > 0 && fen > 0 && fen != m_expectedFen; }

    RechargeApi *m_api;
    std::function<qint64()> m_clock;
    QTimer m_ticker;
    bool m_opened = false;
    bool m_creating = false;
    qint64 m_orderId = 0;
    QString m_codeUrl;
    QString m_productName;
    qint64 m_amountFen = 0;
    qint64 m_expectedFen = 0;
    QString m_statusText;
    int m_remainingSeconds = 0;
    // Service seconds when the payment ends; 0: unknown (nothing counts down or polls by itself).
    qint64 m_expireAt = 0;
    // The service's clock minus the monotonic one, in milliseconds.
    qint64 m_offsetMsecs = 0;
    // Monotonic milliseconds of the last poll that was due.
    qint64 m_lastPoll = 0;
};
