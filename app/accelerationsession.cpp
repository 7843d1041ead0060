#include "app/accelerationsession.h"
#include "app/sessionrules.h"

#include "accel/acceleratorapi.h"
#include "accel/singboxmanager.h"
#include "account/authapi.h"
#include "app/wiring.h"
#include "net/httpmanager.h"
#include "purchase/rechargeapi.h"
#include "state/globaldata.h"

#include <QDateTime>
#include <QDebug>
#include <QTime>

using namespace sessionrules;

namespace {

// The core's output arrives ten times a second; local time consults the time zone on every read, so the
// text is made once a second. Only the interface's thread logs through here.
QString timeText()
{
    static qint64 second = -1;
    static QString text;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now != second) {
        second = now;
        text = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    }
    return text;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

AccelerationSession::AccelerationSession(const nimbra::Backend &backend, QObject *parent)
    : QObject(parent)
    , m_data(backend.data)
    , m_auth(backend.auth)
    , m_recharge(backend.recharge)
    , m_choice(backend.data)
    , m_routeSource(backend.data, backend.gameList, backend.accelerator, &m_choice, &m_routes, &m_measurement)
    , m_controller(backend, &m_choice, &m_routeSource, &m_routes, &m_measurement)
{
    const auto trace = [this](const QString &message) {
        appendAppLog(message, false, false);
    };
    connect(backend.http, &HttpManager::trace, this, trace);
    connect(m_recharge, &RechargeApi::trace, this, trace);
    connect(m_recharge, &RechargeApi::requestFailed, this,
            [this](const QString &operation, const QString &message) {
                appendAppLog(QStringLiteral("[UI] RechargeApi 失败 op=") + operation +
                                 QStringLiteral(" message=") + message,
                             true);
            });
    connect(backend.accelerator, &AcceleratorApi::trace, this, trace);
    connect(m_data, &GlobalData::trace, this, trace);
    connect(m_data, &GlobalData::accountChanged, this, &AccelerationSession::onAccount);
    connect(&m_routeSource, &RouteSource::logLine, this, &AccelerationSession::appendAppLog);
    connect(&m_routeSource, &RouteSource::toastRequested, this, &AccelerationSession::toast);
    connect(&m_controller, &AccelerationController::logLine, this, &AccelerationSession::appendAppLog);
    connect(&m_controller, &AccelerationController::playerLine, this, &AccelerationSession::appendPlayerLog);
    connect(&m_controller, &AccelerationController::toastRequested, this, &AccelerationSession::toast);
    connect(&m_controller, &AccelerationController::boostingChanged, this,
            &AccelerationSession::onBoostingChanged);
    // Checked once the change's own handlers are done (a route list selects and asks for its
    // configuration right after it stops loading).
    for (auto changed : {&RouteSource::routesLoadingChanged, &RouteSource::routeConfigLoadingChanged,
                         &RouteSource::gameDetailLoadingChanged})
        connect(&m_routeSource, changed, this, &AccelerationSession::startAfterSwitch, Qt::QueuedConnection);
    // Each line is judged on its own: a batch holds many lines and only some are errors.
    connect(backend.singBox, &SingBoxManager::outputReceived, this, [this](const QString &text, bool) {
        m_runLog.queueLines(runlog::stripAnsi(text), runlog::isCoreErrorLine, timeText());
    });

    m_toastTimer.setSingleShot(true);
    m_toastTimer.setInterval(2400);
    connect(&m_toastTimer, &QTimer::timeout, this, [this] {
        m_toastText.clear();
        emit toastChanged();
    });
    m_clockTimer.setInterval(30000);
    connect(&m_clockTimer, &QTimer::timeout, this, &AccelerationSession::updateClock);
    m_clockTimer.start();
    updateClock();
}

// --- the log and the toast --------------------------------------------------------------------------

void AccelerationSession::toast(const QString &message, bool warning)
{
    // Both at once: whoever follows the text sees the flag that goes with it.
    m_toastWarning = warning;
    m_toastText = message;
    emit toastChanged();
    m_toastTimer.start();
}

void AccelerationSession::appendSingBoxLog(const QString &message, bool error)
{
    m_runLog.append(message, error, timeText());
}

void AccelerationSession::appendAppLog(const QString &message, bool error, bool forwardToConsole)
{
    if (forwardToConsole)
        qInfo().noquote() << message;
    appendSingBoxLog(message, error);
}

void AccelerationSession::appendPlayerLog(const QString &message, bool error)
{
    appendAppLog(message, error);
    m_playerLog.append(message, error, timeText());
}

void AccelerationSession::clearSingBoxLogs()
{
    m_runLog.clear();
    m_playerLog.clear();
}

void AccelerationSession::copySingBoxLogs(bool technical)
{
    RunLogModel &log = technical ? m_runLog : m_playerLog;
    log.flush();
    if (log.count() == 0) {
        toast(QStringLiteral("暂无日志可复制"), true);
        return;
    }
    if (m_data->copyToClipboard(log.text()))
        toast(technical ? QStringLiteral("已复制全部技术日志") : QStringLiteral("已复制全部加速记录"));
    else
        toast(QStringLiteral("日志复制失败"), true);
}

void AccelerationSession::updateClock()
{
    const QString text = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    if (text == m_clockText)
        return;
    m_clockText = text;
    emit clockTextChanged();
}

// --- the flows that span the objects ----------------------------------------------------------------

void AccelerationSession::startUp(bool debuggerRequested, bool debuggerActive)
{
    const bool hasRecent = m_choice.restoreRecent();
    const QVariantMap recent = m_choice.lastBoostedGame();
    appendAppLog(QStringLiteral("[UI] 主界面初始化完成"));
    if (hasRecent) {
        appendAppLog(QStringLiteral("[UI] 已恢复最近加速游戏：") +
                         textOf(recent.value(QStringLiteral("name"))),
                     false, false);
        m_routeSource.requestGameDetail(recent, QStringLiteral("recent-game-restored"));
    }
    // Signed out no routes will come on their own: the route line says how to get them.
    if (!m_data->loggedIn())
        m_routeSource.clear();
    appendAppLog(QStringLiteral("[PERF] QML debugger requested=") + boolText(debuggerRequested) +
                     QStringLiteral(" active=") + boolText(debuggerActive),
                 false, false);
}

void AccelerationSession::chooseGame(const QVariant &gameOrId)
{
    const QVariantMap record = m_choice.recordFor(gameOrId);
    if (isBlank(record.value(QStringLiteral("id"))))
        return;
    if (m_controller.busy()) {
        if (!m_controller.boosting())
            toast(QStringLiteral("加速正在启动或停止，请稍候再切换游戏"), true);
        else if (textOf(record.value(QStringLiteral("id"))) == m_choice.gameId())
            toast(QStringLiteral("正在加速这款游戏"));
        else
            setSwitchTarget(record);
        return;
    }
    // A choice of the player's own replaces a start still waiting after a switch.
    m_startWhenReady = false;
    switchNow(record);
}

void AccelerationSession::switchNow(const QVariantMap &record)
{
    // The previous game's rounds are dropped, and no choice is made from its list.
    m_controller.cancelMeasurements();
    m_routeSource.chooseGame(record);
    emit gameChosen();
    toast(QStringLiteral("已切换：") + textOf(record.value(QStringLiteral("name"))) + QStringLiteral(" · ") +
          m_choice.server());
}

void AccelerationSession::setSwitchTarget(const QVariantMap &game)
{
    if (game == m_switchTarget)
        return;
    m_switchTarget = game;
    emit switchTargetChanged();
}

void AccelerationSession::confirmSwitch()
{
    const QVariantMap target = m_switchTarget;
    setSwitchTarget({});
    if (target.isEmpty() || !m_controller.boosting())
        return;
    m_switchAfterStop = target;
    m_controller.toggleAcceleration();
}

void AccelerationSession::cancelSwitch()
{
    setSwitchTarget({});
}

void AccelerationSession::onBoostingChanged()
{
    // A switch question about a session that has ended has no answer left.
    if (!m_controller.boosting())
        setSwitchTarget({});
    if (m_controller.boosting() || m_switchAfterStop.isEmpty())
        return;
    const QVariantMap target = m_switchAfterStop;
    m_switchAfterStop.clear();
    // Once the core's process is gone too (the stop is reported before the supervisor is idle).
    QMetaObject::invokeMethod(
        this,
        [this, target] {
            if (m_controller.busy() || !m_data->loggedIn())
                return;
            switchNow(target);
            m_startWhenReady = true;
            startAfterSwitch();
        },
        Qt::QueuedConnection);
}

// After a confirmed switch: the start, once nothing the start needs is on its way any more. The start
// button's own checks then start the core or say what is missing.
void AccelerationSession::startAfterSwitch()
{
    if (!m_startWhenReady || m_routeSource.routesLoading() || m_routeSource.routeConfigLoading() ||
        m_routeSource.gameDetailLoading())
        return;
    m_startWhenReady = false;
    if (!m_controller.busy())
        m_controller.toggleAcceleration();
}

void AccelerationSession::onAccount()
{
    if (m_data->loggedIn()) {
        m_routeSource.requestRoutes(QStringLiteral("account-authenticated"));
        return;
    }
    // Signed out: neither the core nor its routes may stay behind, nor a start after a switch.
    m_startWhenReady = false;
    m_switchAfterStop.clear();
    setSwitchTarget({});
    m_controller.stop();
    m_routeSource.clear();
    m_controller.forgetFigures();
}

void AccelerationSession::signOut()
{
    emit signingOut();
    m_controller.stop();
    m_auth->clearSession();
    m_recharge->clearSession();
    m_data->clearSessionData();
    toast(QStringLiteral("已退出登录，加速通道已关闭"), true);
}
