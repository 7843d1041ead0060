// The acceleration controller of the main window, driven through the window's own functions, against
// the real back-end objects, the dev service and the stub core. As root the whole run gets a private
// network namespace, so the stub's TUN interface and the game's routes never reach the host.
#include "app/accelerationcontroller.h"
#include "app/accelerationsession.h"
#include "app/sessionrules.h"
#include "app/startup.h"
#include "devserviceprocess.h"
#include "frontproxy.h"
#include "privatenetwork.h"
#include "tunresponderprocess.h"
#include "windowinput.h"
#include "wiredbackend.h"

#include <QAccessible>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

Q_IMPORT_QML_PLUGIN(NimbraPlugin)

namespace {

bool g_inPrivateNetwork = false;

QVariantMap game(const char *id, const char *name, const char *packageName, const char *country)
{
    return {{"id", QString::fromUtf8(id)},
            {"name", QString::fromUtf8(name)},
            {"package_name", QString::fromUtf8(packageName)},
            {"country", QString::fromUtf8(country)}};
}

QVariantMap withServer(QVariantMap record)
{
    record.insert("servers", QVariantList{record.value("country")});
    return record;
}

const QVariantMap kJx3 = withServer(game("jx3", "剑网3", "com.kingsoft.jx3", "国服"));
const QVariantMap kLostArk = withServer(game("la", "失落的方舟", "com.smilegate.lostark", "韩服"));

// The objects of the application, composed and published as the program does it, with Main loaded.
struct Client : WiredBackend
{
    explicit Client(const QString &baseUrl)
        : WiredBackend(baseUrl)
    {
        singBox->setExecutablePath(QStringLiteral(NIMBRA_STUB_CORE));
        singBox->setDataDirectory(coreData.path());
        engine = std::make_unique<QQmlApplicationEngine>();
        QObject::connect(engine.get(), &QQmlEngine::warnings, engine.get(),
                         [this](const QList<QQmlError> &list) {
                             for (const QQmlError &warning : list)
                                 warnings << warning.toString();
                         });
        nimbra::publishBackend(*engine, backend, false, false);
        nimbra::loadMainDocument(*engine);
        window = engine->rootObjects().value(0);
    }

    ~Client()
    {
        singBox->shutdown();
        engine.reset();
    }

    QVariant eval(const QString &expression) const
    {
        QQmlExpression script(qmlContext(window), window, expression);
        const QVariant value = script.evaluate();
        if (script.hasError())
            qWarning("%s: %s", qPrintable(expression), qPrintable(script.error().toString()));
        return value;
    }
    QString text(const QString &expression) const { return eval(expression).toString(); }
    bool isTrue(const QString &expression) const { return eval(expression).toBool(); }
    bool logHas(const QString &part, bool player = false) const
    {
        const QList<RunLogEntry> &entries = (player ? session->playerLog() : session->runLog())->entries();
        return std::any_of(entries.cbegin(), entries.cend(),
                           [&part](const RunLogEntry &entry) { return entry.text.contains(part); });
    }

    bool signIn()
    {
        auth->loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        return QTest::qWaitFor([this] { return data.loggedIn(); }, 10000);
    }
    // Signed in, with a game whose addresses are known and its route and configuration in.
    bool readyToBoost()
    {
        if (!signIn())
            return false;
        QVariantMap jx3 = game("jx3", "剑网3", "com.kingsoft.jx3", "国服");
        jx3.insert("ip_list", QVariantList{"198.18.6.10", "192.0.2.96/28"});
        session->chooseGame(jx3);
        return settled();
    }

    QTemporaryDir coreData;
    std::unique_ptr<QQmlApplicationEngine> engine;
    QObject *window = nullptr;
    QStringList warnings;
};

// What is wrong with the items under root (shown or not) whose text holds the given markup: fewer of
// them than expected, or one that renders its text as markup instead of showing it as typed.
QString markupProblem(QQuickItem *root, const QString &markup, int expected)
{
    int count = 0;
    QString problem;
    std::function<void(QQuickItem *)> visit = [&](QQuickItem *item) {
        if (item->property("text").toString().contains(markup)) {
            ++count;
            const QVariant format = item->property("textFormat");
            if (format.isValid() && format.toInt() != 0) // not Text.PlainText
                problem += QStringLiteral("%1 %2 renders it; ")
                               .arg(QString::fromUtf8(item->metaObject()->className()), item->objectName());
        }
        const QList<QQuickItem *> children = item->childItems();
        for (QQuickItem *child : children)
            visit(child);
    };
    visit(root);
    if (count < expected)
        problem += QStringLiteral("%1 shown %2 times, expected %3").arg(markup).arg(count).arg(expected);
    return problem;
}

QString shownText(QQuickItem *root, const char *objectName)
{
    QQuickItem *item = findShown(root, QString::fromLatin1(objectName));
    return item ? item->property("text").toString() : QString();
}

// The latency figures of the route dialog's rows, top to bottom.
QStringList rowFigures(QQuickItem *root)
{
    QStringList figures;
    std::function<void(QQuickItem *)> visit = [&](QQuickItem *item) {
        if (item->objectName() == QLatin1String("routeLatency") && shown(item))
            figures << item->property("text").toString();
        const QList<QQuickItem *> children = item->childItems();
        for (QQuickItem *child : children)
            visit(child);
    };
    visit(root);
    return figures;
}

// A figure such as "17 ms" within 5 ms of the round trip the node was given.
bool near(const QString &figure, int setMs)
{
    bool ok = false;
    const int ms = figure.section(QLatin1Char(' '), 0, 0).toInt(&ok);
    return ok && figure.endsWith(QLatin1String(" ms")) && std::abs(ms - setMs) <= 5;
}

// The responder's nodes for testRoutes: slow, fast and dead; or slow and fast close to each other.
const QStringList kSlowFastDead{"--address", "10.77.0.1/24",       "--node",   "10.77.0.15=80ms,0%",
                                "--node",    "10.77.0.16=15ms,0%", "--silent", "10.77.0.17"};
const QStringList kCloseNodes{"--address",          "10.77.0.1/24", "--node",
                              "10.77.0.15=20ms,0%", "--node",       "10.77.0.16=25ms,0%"};

// Routes whose nodes are the TUN responder's (10.77.0.15 to .18); each takes the configuration of the
// dev service's route, which the stub core accepts.
QVariantList testRoutes(const QVariantMap &devRoute)
{
    const auto route = [&devRoute](const char *id, const char *name, const char *address) {
        return QVariantMap{{"id", id},
                           {"name", QString::fromUtf8(name)},
                           {"web_url", address},
                           {"server_port", 443},
                           {"config", devRoute.value("config")}};
    };
    QVariantMap udp = route("udp", "测试 · UDP", "10.77.0.18");
    udp.insert("protocol", "hysteria2");
    return {route("slow", "测试 · 慢线", "10.77.0.15"), route("fast", "测试 · 快线", "10.77.0.16"),
            route("dead", "测试 · 断线", "10.77.0.17"), udp};
}

// The first `count` test routes (all when negative) staged as the game's routes, the first selected.
QVariantList stageTestRoutes(Client &c, qsizetype count = -1)
{
    const QVariantList routes = testRoutes(c.session->routeSource()->selectedNode()).mid(0, count);
    c.session->routeSource()->stageSelection(c.session->choice()->selectedGame(), routes,
                                             routes.at(0).toMap());
    return routes;
}

} // namespace

class TestController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DevServiceProcess> m_service;
    std::unique_ptr<Client> m_signedIn; // shared by the rows of the button test

    static void clearStoredFiles()
    {
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)).removeRecursively();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        clearStoredFiles();
        m_service = std::make_unique<DevServiceProcess>();
        QVERIFY(m_service->isRunning());
    }
    void cleanupTestCase()
    {
        m_signedIn.reset();
        m_service.reset();
        QSettings().clear();
        clearStoredFiles();
    }

    void chooseGamesAndRoutes()
    {
        GlobalData().saveRecentBoostedGame(
            {{"id", "jx3"}, {"name", "剑网3"}, {"package_name", "com.kingsoft.jx3"}, {"country", "国服"}});
        Client c(m_service->baseUrl());
        QVERIFY(c.window);
        // The recent game comes back and its detail (the address list) is asked for.
        AccelerationSession &s = *c.session;
        QCOMPARE(s.choice()->gameId(), QStringLiteral("jx3"));
        QCOMPARE(s.choice()->server(), QStringLiteral("国服"));
        QCOMPARE(s.choice()->lastBoostedGame().value("name").toString(), QStringLiteral("剑网3"));
        QVERIFY(c.logHas(QStringLiteral("[UI] 已恢复最近加速游戏：剑网3")));
        QVERIFY(s.routeSource()->gameDetailLoading());
        QTRY_VERIFY_WITH_TIMEOUT(!sessionrules::gameIpList(s.choice()->selectedGame()).isEmpty() &&
                                     !s.routeSource()->gameDetailLoading(),
                                 10000);
        QCOMPARE(s.routeSource()->line(), QStringLiteral("登录后加载线路"));

        // Signing in loads the routes; the first free one is chosen and its configuration fetched.
        QVERIFY(c.signIn());
        QVERIFY(c.settled());
        QCOMPARE(s.routeSource()->line(), QStringLiteral("华东 · 上海电信 BGP-3"));
        QVERIFY(s.routeSource()->nodes().size() == 5 &&
                s.routeSource()->selectedRouteConfig().indexOf(QLatin1String("outbounds")) > 0);

        // Another game: detail, routes, default route, configuration.
        s.chooseGame(kLostArk);
        QCOMPARE(s.toastText(), QStringLiteral("已切换：失落的方舟 · 韩服"));
        QCOMPARE(s.routeSource()->line(), QStringLiteral("正在加载线路"));
        QVERIFY(c.settled());
        QCOMPARE(s.routeSource()->line(), QStringLiteral("韩国 · 首尔 IPLC-1"));
        QVERIFY(!sessionrules::gameIpList(s.choice()->selectedGame()).isEmpty() &&
                !s.routeSource()->selectedRouteConfig().isEmpty());

        // A route list for a game no longer chosen is dropped.
        QSignalSpy routes(c.accelerator.get(), &AcceleratorApi::routesLoaded);
        c.accelerator->loadRoutes(c.data.userId(), kJx3);
        QVERIFY(routes.wait(10000));
        QVERIFY(c.logHas(QStringLiteral("[UI] 忽略过期线路回调 gameId=jx3 current=la")));
        QVERIFY(s.routeSource()->nodes().size() == 3 &&
                s.routeSource()->selectedNode().value("id") == QStringLiteral("la-sel-iplc1"));

        // A full route only warns; a chosen route is remembered and restored on the way back.
        s.routeSource()->chooseNode(s.routeSource()->nodes().at(1).toMap());
        QCOMPARE(s.toastText(), QStringLiteral("该节点已满，请选择其他节点"));
        s.routeSource()->chooseNode(s.routeSource()->nodes().at(2).toMap());
        QCOMPARE(s.toastText(), QStringLiteral("已切换节点：华东 · 上海电信 BGP-1 中转"));
        QVERIFY(c.settled());
        s.chooseGame(kJx3);
        QVERIFY(c.settled());
        s.chooseGame(kLostArk);
        QVERIFY(c.settled());
        QCOMPARE(s.routeSource()->line(), QStringLiteral("华东 · 上海电信 BGP-1 中转"));
        QVERIFY(c.logHas(QStringLiteral("restoredRoute=la-sh-ct-bgp1")));

        // Every route full: nothing is selected.
        QVariantMap blackDesert = game("", "黑色沙漠", "com.pearlabyss.bdo", "韩服");
        blackDesert.insert("id", 10041);
        s.chooseGame(blackDesert);
        QVERIFY(c.settled());
        QCOMPARE(s.routeSource()->line(), QStringLiteral("线路均已满"));
        QVERIFY(s.routeSource()->nodes().size() == 2 &&
                sessionrules::nodeStableKey(s.routeSource()->selectedNode()).isEmpty());

        // A route whose node_id differs from its id still gets its configuration.
        QVariantMap aion = game("", "永恒之塔", "com.ncsoft.aion", "国服");
        aion.insert("id", 10039);
        s.chooseGame(aion);
        QVERIFY(c.settled());
        QVERIFY(s.routeSource()->selectedNode().value("node_id") == QStringLiteral("node-2210") &&
                s.routeSource()->selectedRouteConfig().indexOf(QLatin1String("127.0.0.221")) > 0);
        QVERIFY(s.routeSource()->nodes().at(0).toMap().contains("config") &&
                !s.routeSource()->nodes().at(1).toMap().contains("config"));

        // Sign-out empties the routes.
        s.signOut();
        QCOMPARE(s.toastText(), QStringLiteral("已退出登录，加速通道已关闭"));
        QVERIFY(!c.data.loggedIn() && s.routeSource()->nodes().isEmpty() &&
                sessionrules::nodeStableKey(s.routeSource()->selectedNode()).isEmpty());
        QCOMPARE(s.routeSource()->line(), QStringLiteral("登录后加载线路"));
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    void buttonPreconditions_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("toast");
        QTest::addColumn<QString>("after");
        QTest::newRow("signed out") << ""
                                    << "请先登录后再开始加速"
                                    << "navigation.loginDialog";
        QTest::newRow("routes loading") << "routes request"
                                        << "正在加载实时线路，请稍候"
                                        << "true";
        QTest::newRow("config loading") << "config request"
                                        << "正在获取线路配置，请稍候"
                                        << "true";
        QTest::newRow("detail loading") << "detail request"
                                        << "正在获取游戏 IP 列表，请稍候"
                                        << "true";
        QTest::newRow("no addresses") << "game without addresses"
                                      << "当前游戏还没有可用 IP 列表"
                                      << "session.routeSource.gameDetailLoading";
        QTest::newRow("no routes") << "no routes"
                                   << "暂无实时线路，请稍候重试"
                                   << "session.routeSource.routesLoading";
        QTest::newRow("route without address") << "route without address"
                                               << "当前线路没有可用节点地址，请重新获取线路"
                                               << "session.runLog.entry(session.runLog.count - 1).error";
        QTest::newRow("route without config") << "route without config"
                                              << "正在获取线路配置，请稍候"
                                              << "session.routeSource.routeConfigLoading";
        QTest::newRow("config refused")
            << "refused config"
            << "<lastError>"
            << "session.controller.pendingBoostGame.id === '' && !N.App.singBoxManager.starting";
    }

    void buttonPreconditions()
    {
        QFETCH(QString, setup);
        QFETCH(QString, toast);
        QFETCH(QString, after);
        if (!m_signedIn) {
            m_signedIn = std::make_unique<Client>(m_service->baseUrl());
            Client &c = *m_signedIn;
            c.session->controller()->toggleAcceleration();
            QCOMPARE(c.session->toastText(), toast);
            QVERIFY(c.isTrue(after));
            QVERIFY(c.signIn());
            c.session->chooseGame(kLostArk);
            QVERIFY(c.settled());
            return;
        }
        Client &c = *m_signedIn;
        AccelerationSession &s = *c.session;
        const QVariantMap game = s.choice()->selectedGame();
        const QVariantList nodes = s.routeSource()->nodes();
        const QVariantMap node = s.routeSource()->selectedNode();
        // A request on its way (its answer is not awaited before the press), or a staged selection.
        if (setup == QLatin1String("routes request")) {
            s.routeSource()->requestRoutes(QStringLiteral("start-without-routes"));
        } else if (setup == QLatin1String("config request")) {
            s.routeSource()->requestNodeConfig(node, QStringLiteral("node-selected"));
        } else if (setup == QLatin1String("detail request")) {
            s.routeSource()->requestGameDetail(
                {{"package_name", "com.relogic.terraria"}, {"country", "亚服"}},
                QStringLiteral("game-selected"));
        } else if (setup == QLatin1String("game without addresses")) {
            QVariantMap terraria = ::game("", "泰拉瑞亚", "com.relogic.terraria", "亚服");
            terraria.insert("id", 10032);
            terraria.insert("ip_list", QString());
            s.routeSource()->stageSelection(terraria, nodes, node);
        } else if (setup == QLatin1String("no routes")) {
            s.routeSource()->stageSelection(game, {}, node);
        } else if (setup == QLatin1String("route without address")) {
            s.routeSource()->stageSelection(game, nodes, {{"name", "x"}});
        } else if (setup == QLatin1String("route without config")) {
            QVariantMap bare = node;
            bare.remove("config");
            s.routeSource()->stageSelection(game, nodes, bare);
        } else if (setup == QLatin1String("refused config")) {
            QVariantMap refused = node;
            refused.insert("config", QStringLiteral("{\"outbounds\": []}"));
            s.routeSource()->stageSelection(game, nodes, refused);
        }
        s.controller()->toggleAcceleration();
        QCOMPARE(s.toastText(), toast == QLatin1String("<lastError>") ? c.singBox->lastError() : toast);
        QVERIFY(!toast.isEmpty());
        QVERIFY(c.isTrue(after));
        QVERIFY(s.toastWarning() && !s.controller()->boosting());
        QVERIFY(!c.singBox->starting() && !c.singBox->running());
        // Back to a start-ready state for the next row.
        // Requests the row caused are answered first; then the flags and lists are put back.
        QVERIFY(QTest::qWaitFor([&c] { return !c.http->busy(); }, 10000));
        s.routeSource()->stageSelection(game, nodes, node);
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    void buttonStartsAndStopsTheCore()
    {
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the game's routes are installed inside a private network namespace");
        Client c(m_service->baseUrl());
        QVERIFY(c.readyToBoost());
        c.session->controller()->toggleAcceleration();
        QVERIFY(c.singBox->starting());
        QTRY_VERIFY_WITH_TIMEOUT(c.session->controller()->boosting(), 15000);
        QCOMPARE(ownRoutes(), (QStringList{"192.0.2.96/28", "198.18.0.0/16"}));
        QCOMPARE(c.session->toastText(), QStringLiteral("加速通道已建立 · 华东"));
        QCOMPARE(c.data.recentBoostedGame().value(QStringLiteral("id")).toString(), QStringLiteral("jx3"));
        QVERIFY(c.logHas(QStringLiteral("[GameIP] 执行Route package=com.kingsoft.jx3 count=2")));
        QVERIFY(c.logHas(QStringLiteral("nimbra-server 已启动")));
        // The player's log has the start in its words and none of the technical lines.
        QVERIFY(c.logHas(QStringLiteral("加速已开始 · 剑网3 · 华东"), true));
        QVERIFY(!c.logHas(QStringLiteral("["), true));
        // Another game while it runs is a question; kept, nothing changes.
        c.session->chooseGame(kLostArk);
        QCOMPARE(c.session->switchTarget().value(QStringLiteral("id")).toString(), QStringLiteral("la"));
        c.session->cancelSwitch();
        QVERIFY(c.session->switchTarget().isEmpty() && c.session->controller()->boosting() &&
                c.session->choice()->gameId() == QStringLiteral("jx3"));
        // Switched: the core stops, and starts again on the new game once its routes are in.
        c.session->chooseGame(kLostArk);
        c.session->confirmSwitch();
        QTRY_COMPARE_WITH_TIMEOUT(c.session->choice()->gameId(), QStringLiteral("la"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(c.data.recentBoostedGame().value(QStringLiteral("id")).toString(),
                                  QStringLiteral("la"), 20000);
        QVERIFY(c.session->controller()->boosting());

        c.session->controller()->toggleAcceleration();
        QTRY_VERIFY_WITH_TIMEOUT(!c.session->controller()->boosting(), 10000);
        QCOMPARE(c.session->toastText(), QStringLiteral("加速已停止，通道已释放"));
        QCOMPARE(c.session->playerLog()->entries().constLast().text, QStringLiteral("加速已停止"));
        QTRY_VERIFY_WITH_TIMEOUT(ownRoutes().isEmpty(), 3000);
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // 断线自动重连 with the stub core's crash-after mode: the channel comes back within 5 s with the same
    // routes, three times; the fourth crash within the minute ends it and says so. A user's stop, or a
    // cancel while it waits, never brings it back; with the switch off a crash ends acceleration.
    void reconnectAfterCrash()
    {
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the game's routes are installed inside a private network namespace");
        Client c(m_service->baseUrl());
        QVERIFY(c.readyToBoost());
        QVERIFY(c.isTrue("reconnect") && c.singBox->autoReconnect());
        QSignalSpy reconnecting(c.singBox.get(), &SingBoxManager::reconnecting);
        QSignalSpy started(c.singBox.get(), &SingBoxManager::started);
        QSignalSpy abandoned(c.singBox.get(), &SingBoxManager::reconnectAbandoned);
        const auto boost = [&c](const char *mode) {
            qputenv("NIMBRA_STUB_CORE_MODE", mode);
            c.session->controller()->toggleAcceleration();
            return QTest::qWaitFor([&c] { return c.session->controller()->boosting(); }, 15000);
        };

        QVERIFY(boost("crash-after=1"));
        const QStringList routes = ownRoutes();
        QCOMPARE(routes, (QStringList{"192.0.2.96/28", "198.18.0.0/16"}));
        for (int attempt = 1; attempt <= 3; ++attempt) {
            QVERIFY(reconnecting.wait(5000));
            QElapsedTimer sinceCrash;
            sinceCrash.start();
            QCOMPARE(reconnecting.last().at(0).toInt(), attempt);
            QCOMPARE(c.session->toastText(),
                     QStringLiteral("加速通道异常断开，正在自动重连（%1/3）…").arg(attempt));
            QVERIFY(c.singBox->starting() && !c.session->controller()->boosting());
            QVERIFY(started.wait(5000));
            QVERIFY2(sinceCrash.elapsed() < 5000, qPrintable(QString::number(sinceCrash.elapsed())));
            QVERIFY(c.session->controller()->boosting());
            QCOMPARE(ownRoutes(), routes);
            QCOMPARE(c.session->toastText(), QStringLiteral("断线重连成功，加速已恢复 · 华东"));
        }
        QVERIFY(abandoned.wait(5000));
        const QString message = QStringLiteral("加速通道一分钟内第 4 次异常断开，已停止自动重连，加速已结束");
        QCOMPARE(abandoned.last().at(0).toString(), message);
        QCOMPARE(c.session->toastText(), message);
        QVERIFY(c.logHas(message));
        QVERIFY(!c.session->controller()->boosting() && !c.singBox->starting() && !c.singBox->running());
        QCOMPARE(reconnecting.count(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(ownRoutes().isEmpty(), 3000);

        // A stop the user asks for is final; a new start has the whole budget again.
        QVERIFY(boost("crash-after=30"));
        c.session->controller()->toggleAcceleration();
        QTRY_VERIFY_WITH_TIMEOUT(!c.session->controller()->boosting(), 10000);
        QTest::qWait(2 * SingBoxManager::kReconnectDelayMs);
        QCOMPARE(reconnecting.count(), 3);
        QVERIFY(!c.singBox->starting() && !c.singBox->running());

        // So is a cancel while a reconnect waits.
        QVERIFY(boost("crash-after=0.5"));
        QVERIFY(reconnecting.wait(5000));
        QCOMPARE(reconnecting.last().at(0).toInt(), 1);
        const auto startsBefore = started.count();
        c.session->controller()->toggleAcceleration();
        QCOMPARE(c.session->toastText(), QStringLiteral("正在取消加速启动…"));
        QTest::qWait(2 * SingBoxManager::kReconnectDelayMs);
        QCOMPARE(started.count(), startsBefore);
        QVERIFY(!c.singBox->starting() && !c.singBox->running() && !c.session->controller()->boosting());
        QVERIFY(ownRoutes().isEmpty());

        // Switched off: a crash ends acceleration as it always did.
        c.eval(QStringLiteral("reconnect = false"));
        QVERIFY(!c.singBox->autoReconnect());
        QVERIFY(boost("crash-after=0.5"));
        QTRY_VERIFY_WITH_TIMEOUT(!c.session->controller()->boosting(), 5000);
        QCOMPARE(c.session->toastText(), QStringLiteral("nimbra-server 已停止（代码 2）"));
        QTest::qWait(2 * SingBoxManager::kReconnectDelayMs);
        QCOMPARE(reconnecting.count(), 4);
        QVERIFY(!c.singBox->starting() && !c.singBox->running());
        qunsetenv("NIMBRA_STUB_CORE_MODE");
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // The theme, the switches, the mode and the dual-network switch come back at the next start; start
    // at login is the autostart entry itself, written and removed by its switch.
    void choicesSurviveARestart()
    {
        QSettings().remove(QStringLiteral("ui"));
        QTemporaryDir config;
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const QString entry = config.filePath(QStringLiteral("autostart/nimbra.desktop"));
        {
            Client c(m_service->baseUrl());
            QVERIFY(c.isTrue(
                "!dawn && smartRoute && reconnect && !autoStart && mode === '智能匹配' && !dualNetwork"));
            c.eval(QStringLiteral("dawn = true, smartRoute = false, reconnect = false, mode = '极速电竞', "
                                  "dualNetwork = true, autoStart = true"));
            QCOMPARE(c.text("session.toastText"), QStringLiteral("已开启开机自启动，登录后将静默启动到托盘"));
            QVERIFY(QFile::exists(entry));
            QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
        }
        {
            Client c(m_service->baseUrl());
            QVERIFY(c.isTrue(
                "dawn && !smartRoute && !reconnect && autoStart && mode === '极速电竞' && dualNetwork"));
            QVERIFY(!c.singBox->autoReconnect());
            c.eval(QStringLiteral("autoStart = false"));
            QCOMPARE(c.text("session.toastText"), QStringLiteral("已关闭开机自启动"));
            QVERIFY(!QFile::exists(entry));
            // Refused by the system (a file stands where the folder should be): the switch goes back.
            QFile blocker(config.filePath(QStringLiteral("blocker")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            qputenv("XDG_CONFIG_HOME", blocker.fileName().toUtf8());
            c.eval(QStringLiteral("autoStart = true"));
            QVERIFY(c.isTrue("!autoStart"));
            QVERIFY(c.text("session.toastText").startsWith(QStringLiteral("开机自启动设置失败：")));
            QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
        }
        // A stored value that is none of ours is not taken.
        QSettings().setValue(Preferences::kModeKey, QStringLiteral("急速"));
        QSettings().setValue(Preferences::kDualNetworkKey, QStringLiteral("yes"));
        const Preferences restored;
        QCOMPARE(restored.mode(), QStringLiteral("智能匹配"));
        QVERIFY(!restored.dualNetwork() && restored.dawn());
        QSettings().remove(QStringLiteral("ui"));
        qputenv("XDG_CONFIG_HOME", oldConfig);
        if (oldConfig.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
    }

    // A person's session through the visible window: sign in with an SMS code, choose a game and a
    // route, boost, stop, sign out from the account menu.
    void throughTheWindow()
    {
        Client c(m_service->baseUrl());
        auto *window = qobject_cast<QQuickWindow *>(c.window);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QQuickItem *scene = window->contentItem();
        c.gameList->loadCommon();
        QTRY_VERIFY_WITH_TIMEOUT(c.data.commonGamesLoaded(), 10000);

        // Signed out, the membership tab opens the sign-in dialog instead.
        QVERIFY(click(window, scene, QStringLiteral("会员")));
        QVERIFY(c.isTrue("navigation.loginDialog && navigation.tab === 'home'"));
        QQuickItem *login = findShown(scene, QStringLiteral("loginView"));
        QVERIFY(login);
        const QString phone = QStringLiteral("13800138000");
        QVERIFY(click(window, findShown(login, QStringLiteral("phoneField")), QStringLiteral("input")));
        typeText(window, phone);
        // Esc hides the dialog as the mask does: what was typed is still there when it comes back.
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(c.isTrue("!navigation.loginDialog"));
        QVERIFY(click(window, scene, QStringLiteral("会员")));
        QVERIFY(c.isTrue("navigation.loginDialog"));
        QCOMPARE(findShown(findShown(login, QStringLiteral("phoneField")), QStringLiteral("input"))
                     ->property("text")
                     .toString(),
                 phone);
        QVERIFY(click(window, login, QStringLiteral("获取验证码")));
        QTRY_COMPARE_WITH_TIMEOUT(c.text("session.toastText"), QStringLiteral("验证码已发送"), 10000);
        const QString code = m_service->latestSmsCode(phone);
        QVERIFY(!code.isEmpty());
        QVERIFY(click(window, findShown(login, QStringLiteral("codeField")), QStringLiteral("input")));
        typeText(window, code);
        QVERIFY(click(window, login, QStringLiteral("agreeBox")));
        QTest::keyClick(window, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(c.isTrue("loggedIn && !navigation.loginDialog"), 10000);
        QCOMPARE(c.text("session.toastText"), QStringLiteral("登录成功，欢迎回来，138****8000"));

        // A game from the common list, then a route from the dialog the route selector opens.
        QQuickItem *list = findShown(scene, QStringLiteral("gameList"));
        QTRY_VERIFY(list && list->property("count").toInt() > 1);
        QVERIFY(click(window, list, QStringLiteral("永劫无间")));
        QCOMPARE(c.text("session.choice.gameId"), QStringLiteral("yj"));
        QVERIFY(c.settled());
        QVERIFY(click(window, scene, QStringLiteral("线路")));
        QVERIFY(c.isTrue("navigation.nodeDialog"));
        // The first route: the dev service gives this game a second one the core cannot run.
        const QString route = c.text("session.routeSource.nodes[0].name");
        QVERIFY(click(window, findShown(scene, QStringLiteral("routeRow0")), route));
        QVERIFY(c.isTrue("!navigation.nodeDialog"));
        QCOMPARE(c.text("session.routeSource.line"), route);
        QVERIFY(c.settled());

        if (!g_inPrivateNetwork) {
            qInfo("not root: the core is not started (its routes need a private network namespace)");
        } else {
            QVERIFY(click(window, scene, QStringLiteral("一键加速")));
            QTRY_VERIFY_WITH_TIMEOUT(findShown(scene, QStringLiteral("停止")), 15000);
            QCOMPARE(findShown(scene, QStringLiteral("statusText"))->property("text").toString(),
                     QStringLiteral("加速中 · 永劫无间 · ") + c.text("session.choice.server"));
            QVERIFY(!ownRoutes().isEmpty());
            QVERIFY(click(window, scene, QStringLiteral("停止")));
            QTRY_VERIFY_WITH_TIMEOUT(findShown(scene, QStringLiteral("一键加速")), 10000);
            QTRY_VERIFY_WITH_TIMEOUT(ownRoutes().isEmpty(), 3000);
            // Signing out while boosting leaves neither the core nor its routes behind.
            QVERIFY(click(window, scene, QStringLiteral("一键加速")));
            QTRY_VERIFY_WITH_TIMEOUT(c.isTrue("session.controller.boosting") && !ownRoutes().isEmpty(),
                                     15000);
        }
        QVERIFY(click(window, scene, QStringLiteral("railAvatar")));
        QVERIFY(c.isTrue("navigation.accountMenu"));
        QVERIFY(click(window, scene, QStringLiteral("退出登录")));
        QVERIFY(c.isTrue("!loggedIn && !navigation.accountMenu && !session.controller.boosting"));
        QTRY_VERIFY_WITH_TIMEOUT(!c.singBox->running() && !c.singBox->starting(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(ownRoutes().isEmpty(), 3000);
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // Measured figures through the window, against nodes on a TUN device that answer after a set delay:
    // the route dialog shows each node's figure, 智能选路 picks the fastest and the status bar names it,
    // and a node that slows down shows it when the routes are measured again.
    void measuredFiguresThroughTheWindow()
    {
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the nodes answer from a TUN device inside a private network namespace");
        TunResponderProcess nodes;
        QVERIFY2(nodes.start(kSlowFastDead), qPrintable(nodes.error()));
        Client c(m_service->baseUrl());
        auto *window = qobject_cast<QQuickWindow *>(c.window);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QQuickItem *scene = window->contentItem();
        QVERIFY(c.readyToBoost());
        const QVariantList routes = stageTestRoutes(c);
        QCOMPARE(shownText(scene, "nodeText"), QStringLiteral("推荐节点：测试 · 慢线"));
        // A new mode measures the routes and chooses by it.
        c.preferences->setMode(QStringLiteral("稳定优先"));
        c.preferences->setMode(QStringLiteral("极速电竞"));
        QTRY_COMPARE_WITH_TIMEOUT(shownText(scene, "nodeText"), QStringLiteral("推荐节点：测试 · 快线"),
                                  10000);
        QVERIFY(c.text("session.toastText").startsWith(QStringLiteral("智能选路：测试 · 快线 · ")));
        QVERIFY(near(shownText(scene, "latencyText").section(QStringLiteral("  "), 1), 15));

        QVERIFY(click(window, scene, QStringLiteral("线路")));
        QStringList figures = rowFigures(scene);
        QCOMPARE(figures.size(), 4);
        QVERIFY2(near(figures.at(0), 80) && near(figures.at(1), 15), qPrintable(figures.join(", ")));
        QCOMPARE(figures.mid(2), (QStringList{"超时", "UDP 节点"}));

        nodes.setNode(QStringLiteral("10.77.0.16"), 40, 0);
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(click(window, scene, QStringLiteral("线路")));
        QTRY_VERIFY_WITH_TIMEOUT(near(rowFigures(scene).value(1), 40), 10000);
        QVERIFY(near(shownText(scene, "latencyText").section(QStringLiteral("  "), 1), 40));
        c.preferences->setMode(QStringLiteral("智能匹配"));
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // The session's own figures on the control card while boosting: its duration, the node latency with
    // the session's mean of the measured rounds, and the traffic through the core's TUN since the start
    // (the stub core carries none, so its totals read nothing).
    void sessionFiguresOnTheCard()
    {
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the nodes answer from a TUN device inside a private network namespace");
        TunResponderProcess nodes;
        QVERIFY2(nodes.start(kCloseNodes), qPrintable(nodes.error()));
        Client c(m_service->baseUrl());
        QVERIFY(c.readyToBoost());
        stageTestRoutes(c, 1);
        AccelerationController *controller = c.session->controller();
        QQuickItem *scene = qobject_cast<QQuickWindow *>(c.window)->contentItem();
        QVERIFY(!findShown(scene, QStringLiteral("cardDuration")));
        controller->toggleAcceleration();
        QTRY_VERIFY_WITH_TIMEOUT(controller->boosting(), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(controller->boostSeconds() >= 2 && controller->averageLatency() > 0, 10000);
        QVERIFY(near(controller->averageLatencyText(), 20));
        QCOMPARE(shownText(scene, "cardDuration"),
                 QStringLiteral("00:00:%1").arg(controller->boostSeconds(), 2, 10, QLatin1Char('0')));
        QCOMPARE(shownText(scene, "cardAverageLatency"), controller->averageLatencyText());
        QAccessibleInterface *latency =
            QAccessible::queryAccessibleInterface(findShown(scene, QStringLiteral("cardLatency")));
        QVERIFY(latency && latency->text(QAccessible::Name).startsWith(QStringLiteral("节点延迟 ")));
        QVERIFY(latency->text(QAccessible::Description).contains(QStringLiteral("TCP")));
        QCOMPARE(controller->sessionSentBytes(), 0.0);
        QCOMPARE(shownText(scene, "cardUpload"), QStringLiteral("0 B/s · 共 0 B"));
        controller->toggleAcceleration();
        QTRY_VERIFY_WITH_TIMEOUT(!controller->boosting(), 10000);
        QVERIFY(!findShown(scene, QStringLiteral("cardDuration")));
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // Boosting with 智能选路 on: the node in use starts losing probes and the session moves to a clearly
    // better one, restarting the core; when that one fails too within two minutes it stays, and moves
    // again once the session's clock has passed them.
    void smartMoveWhileBoosting()
    {
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the nodes answer from a TUN device inside a private network namespace");
        TunResponderProcess nodes;
        QVERIFY2(nodes.start(kCloseNodes), qPrintable(nodes.error()));
        Client c(m_service->baseUrl());
        qint64 now = 0;
        c.session->setClock([&now] { return now; });
        QVERIFY(c.readyToBoost());
        const QVariantList routes = stageTestRoutes(c, 2);
        QVERIFY(c.preferences->smartRoute());
        QSignalSpy started(c.singBox.get(), &SingBoxManager::started);
        c.session->controller()->toggleAcceleration();
        QTRY_VERIFY_WITH_TIMEOUT(c.session->controller()->boosting(), 15000);

        // The log dialog charts the rounds while the core runs.
        QTRY_VERIFY_WITH_TIMEOUT(c.session->measurement()->history()->count() >= 2, 10000);
        c.eval(QStringLiteral("navigation.openLogDialog()"));
        QVERIFY(
            findShown(qobject_cast<QQuickWindow *>(c.window)->contentItem(), QStringLiteral("latencyChart")));
        c.eval(QStringLiteral("navigation.logDialog = false"));

        nodes.setNode(QStringLiteral("10.77.0.15"), 20, 60);
        QVERIFY(started.wait(15000));
        QCOMPARE(c.session->routeSource()->line(), QStringLiteral("测试 · 快线"));
        QCOMPARE(c.session->toastText(), QStringLiteral("智能选路：已切换到 测试 · 快线"));
        QVERIFY(c.session->controller()->boosting() && c.logHas(QStringLiteral("切换到 测试 · 快线")));
        QVERIFY(c.logHas(QStringLiteral("已切换到线路 测试 · 快线，加速继续"), true));

        // Within two minutes of the move: the failing node is kept.
        nodes.setNode(QStringLiteral("10.77.0.15"), 20, 0);
        nodes.setNode(QStringLiteral("10.77.0.16"), 25, 60);
        now += sessionrules::kMoveIntervalMs - 1;
        QVERIFY(!started.wait(8000));
        QCOMPARE(c.session->routeSource()->line(), QStringLiteral("测试 · 快线"));
        now += 1;
        QVERIFY(started.wait(15000));
        QCOMPARE(c.session->routeSource()->line(), QStringLiteral("测试 · 慢线"));
        c.session->controller()->toggleAcceleration();
        QTRY_VERIFY_WITH_TIMEOUT(!c.session->controller()->boosting(), 10000);
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // A move is one transaction. A stop while the new route's configuration is on its way, a
    // configuration request that fails or one not answered in time ends it on the route the core
    // carries (which the screen named all along): a late answer starts nothing, and once the interval
    // has passed the next move goes through.
    void moveEndsOnTheRouteInUse_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("stop");
        QTest::newRow("stopped while the configuration is held")
            << static_cast<int>(FrontProxy::Answer::Hold) << true;
        QTest::newRow("configuration request fails") << static_cast<int>(FrontProxy::Answer::Drop) << false;
        QTest::newRow("configuration not answered in time")
            << static_cast<int>(FrontProxy::Answer::Hold) << false;
    }

    void moveEndsOnTheRouteInUse()
    {
        QFETCH(int, answer);
        QFETCH(bool, stop);
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the nodes answer from a TUN device inside a private network namespace");
        TunResponderProcess nodes;
        QVERIFY2(nodes.start(kCloseNodes), qPrintable(nodes.error()));
        FrontProxy front(m_service->port());
        Client c(front.baseUrl());
        qint64 now = 0;
        c.session->setClock([&now] { return now; });
        QVERIFY(c.readyToBoost());
        // No configuration still on its way may reach the staged routes.
        QVERIFY(QTest::qWaitFor([&c] { return !c.http->busy(); }, 10000));
        // The route moved to is the dev service's own, whose node is its loopback listener: its
        // configuration is asked for again, and the figure comes from the port it names.
        QVariantMap fast = c.session->routeSource()->selectedNode();
        const QVariantMap outbound =
            QJsonDocument::fromJson(c.session->routeSource()->selectedRouteConfig().toUtf8())
                .object()
                .value("outbounds")
                .toArray()
                .at(0)
                .toObject()
                .toVariantMap();
        fast.remove("config");
        fast.insert("server_port", outbound.value("server_port"));
        fast.insert("name", QStringLiteral("测试 · 快线"));
        const QVariantList routes{testRoutes(c.session->routeSource()->selectedNode()).at(0), fast};
        c.session->routeSource()->stageSelection(c.session->choice()->selectedGame(), routes,
                                                 routes.at(0).toMap());
        QSignalSpy started(c.singBox.get(), &SingBoxManager::started);
        c.session->controller()->toggleAcceleration();
        QTRY_VERIFY_WITH_TIMEOUT(c.session->controller()->boosting(), 15000);
        const QString fastKey = sessionrules::nodeStableKey(fast);
        QTRY_VERIFY_WITH_TIMEOUT(c.session->routes()->figure(fastKey).text.endsWith(" ms"), 10000);

        const QByteArray configPath("/api/user/node/config");
        const int asked = front.requests(configPath);
        front.plan(configPath, {static_cast<FrontProxy::Answer>(answer)});
        nodes.setNode(QStringLiteral("10.77.0.15"), 20, 100);
        QTRY_COMPARE_WITH_TIMEOUT(front.requests(configPath), asked + 1, 15000);
        if (stop) {
            QTRY_COMPARE_WITH_TIMEOUT(front.held(), 1, 5000);
            QCOMPARE(sessionrules::nodeStableKey(c.session->routeSource()->selectedNode()),
                     QStringLiteral("slow"));
            c.session->controller()->toggleAcceleration();
            QTRY_VERIFY_WITH_TIMEOUT(!c.session->controller()->boosting() && !c.singBox->running(), 10000);
            front.releaseHeld();
            QTRY_VERIFY_WITH_TIMEOUT(!c.http->busy(), 10000);
            QVERIFY(!started.wait(3000));
            QVERIFY(!c.singBox->running() && !c.singBox->starting() && !c.session->controller()->boosting());
            QCOMPARE(sessionrules::nodeStableKey(c.session->routeSource()->selectedNode()),
                     QStringLiteral("slow"));
            QVERIFY(!c.session->routeSource()->routeConfigLoading());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(c.session->toastText().startsWith(QStringLiteral("智能选路未能切换到")),
                                     sessionrules::kMoveConfigTimeoutMs + 5000);
            QCOMPARE(sessionrules::nodeStableKey(c.session->routeSource()->selectedNode()),
                     QStringLiteral("slow"));
            QVERIFY(c.session->controller()->boosting() && started.count() == 1);
            front.releaseHeld();
            QVERIFY(!started.wait(2000));
            // The move is over: past the interval the next one goes through.
            now += sessionrules::kMoveIntervalMs;
            QVERIFY(started.wait(15000));
            QCOMPARE(c.session->routeSource()->line(), QStringLiteral("测试 · 快线"));
            c.session->controller()->toggleAcceleration();
            QTRY_VERIFY_WITH_TIMEOUT(!c.session->controller()->boosting(), 10000);
        }
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // A game switch while the routes are measured for a choice: the rounds in flight are dropped, and no
    // route of the previous game is chosen for the new one, even before its own list arrives.
    void gameSwitchDropsTheChoice()
    {
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the nodes answer from a TUN device inside a private network namespace");
        TunResponderProcess nodes;
        QVERIFY2(nodes.start(kSlowFastDead), qPrintable(nodes.error()));
        FrontProxy front(m_service->port());
        Client c(front.baseUrl());
        QVERIFY(c.readyToBoost());
        const QVariantList routes = stageTestRoutes(c, 3);
        front.plan("/api/user/points/node-lists", {FrontProxy::Answer::Hold});
        c.preferences->setMode(QStringLiteral("稳定优先"));
        c.preferences->setMode(QStringLiteral("极速电竞"));
        c.session->chooseGame(kLostArk);
        QTRY_COMPARE_WITH_TIMEOUT(front.held(), 1, 10000);
        // Long past the silent node's round.
        QTest::qWait(3000);
        QCOMPARE(c.session->routeSource()->line(), QStringLiteral("正在加载线路"));
        QVERIFY(c.session->routeSource()->selectedNode().isEmpty());
        front.releaseHeld();
        QVERIFY(c.settled());
        // The new game's own route, once its list is in.
        QVERIFY(!c.session->routeSource()->selectedNode().isEmpty() &&
                !c.session->routeSource()->line().startsWith(QStringLiteral("测试")));
        c.preferences->setMode(QStringLiteral("智能匹配"));
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // After a password sign-in the hidden form lets go of the keyboard: keys typed on the page reach
    // no field of it, and Enter signs nobody in again. Hiding it drops the password; a sign-out leaves
    // nothing of the person who signed in on the form.
    void signInFormForgets()
    {
        FrontProxy front(m_service->port());
        Client c(front.baseUrl());
        auto *window = qobject_cast<QQuickWindow *>(c.window);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QQuickItem *scene = window->contentItem();
        const auto field = [&](const char *name) {
            QQuickItem *login = findShown(scene, QStringLiteral("loginView"));
            return login ? findShown(findShown(login, QString::fromLatin1(name)), QStringLiteral("input"))
                         : nullptr;
        };
        QVERIFY(click(window, scene, QStringLiteral("会员")));
        QQuickItem *login = findShown(scene, QStringLiteral("loginView"));
        QVERIFY(login && click(window, login, QStringLiteral("passwordModeTab")));
        QVERIFY(click(window, field("phoneField"), QStringLiteral("input")));
        typeText(window, QStringLiteral("13800138000"));
        QVERIFY(click(window, field("passwordField"), QStringLiteral("input")));
        typeText(window, QStringLiteral("nimbra123"));
        // Hidden by Esc: the number stays for the next attempt, the password does not.
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(c.isTrue("!navigation.loginDialog"));
        QVERIFY(click(window, scene, QStringLiteral("会员")));
        QCOMPARE(field("phoneField")->property("text").toString(), QStringLiteral("13800138000"));
        QCOMPARE(field("passwordField")->property("text").toString(), QString());
        QVERIFY(click(window, field("passwordField"), QStringLiteral("input")));
        typeText(window, QStringLiteral("nimbra123"));
        QVERIFY(click(window, login, QStringLiteral("agreeBox")));
        QTest::keyClick(window, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(c.isTrue("loggedIn && !navigation.loginDialog"), 10000);
        QVERIFY(QTest::qWaitFor([&c] { return !c.http->busy(); }, 10000));

        const QByteArray signInPath("/passport/sms/login");
        const int signIns = front.requests(signInPath);
        QTRY_VERIFY(!window->activeFocusItem() || !window->activeFocusItem()->inherits("QQuickTextInput"));
        typeText(window, QStringLiteral("x"));
        QTest::keyClick(window, Qt::Key_Return);
        QTest::qWait(500);
        QCOMPARE(front.requests(signInPath), signIns);
        QVERIFY(c.isTrue("loggedIn"));

        QVERIFY(click(window, scene, QStringLiteral("railAvatar")));
        QVERIFY(click(window, scene, QStringLiteral("退出登录")));
        QVERIFY(c.isTrue("!loggedIn"));
        QVERIFY(click(window, scene, QStringLiteral("会员")));
        QVERIFY(c.isTrue("navigation.loginDialog"));
        QCOMPARE(field("phoneField")->property("text").toString(), QString());
        QVERIFY(!findShown(login, QStringLiteral("passwordField")));
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // The first sign-in's answer is held back while the user closes the dialog, opens it again and is
    // refused with a wrong password. The late answer belongs to an abandoned attempt: it is dropped, and
    // the window stays signed out with the form and the refusal the user sees.
    // At any size the scene keeps one uniform scale and fills the window: no transparent strip at any
    // edge, and the smallest text still 10 px on screen.
    void scaledSceneFillsTheWindow_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("design") << QSize(1360, 836);
        QTest::newRow("wide") << QSize(1280, 720);
        QTest::newRow("minimum") << QSize(1060, 680);
        QTest::newRow("tall") << QSize(1100, 900);
    }
    void scaledSceneFillsTheWindow()
    {
        QFETCH(QSize, size);
        Client c(m_service->baseUrl());
        auto *window = qobject_cast<QQuickWindow *>(c.window);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        window->resize(size);
        // The window's scale follows its resize event: the design fitted whole, one factor for both axes.
        const double scale = std::min(size.width() / 1360.0, size.height() / 836.0);
        QTRY_VERIFY(std::abs(c.eval(QStringLiteral("scene.scale")).toDouble() - scale) < 1e-6);
        // The scaled scene reaches every edge of the window.
        const QRectF covered =
            c.eval(QStringLiteral("scene.mapToItem(null, 0, 0, scene.width, scene.height)")).toRectF();
        QVERIFY2(covered.left() <= 0.5 && covered.top() <= 0.5 && covered.right() >= size.width() - 0.5 &&
                     covered.bottom() >= size.height() - 0.5,
                 qPrintable(QStringLiteral("scene covers %1,%2 to %3,%4")
                                .arg(covered.left())
                                .arg(covered.top())
                                .arg(covered.right())
                                .arg(covered.bottom())));
        QVERIFY(c.eval(QStringLiteral("N.Theme.textSize(10) * fitScale")).toDouble() >= 10 - 1e-6);
    }

    void lateAnswerOfAnAbandonedSignIn()
    {
        FrontProxy front(m_service->port());
        front.plan("/passport/sms/login", {FrontProxy::Answer::Hold});
        Client c(front.baseUrl());
        auto *window = qobject_cast<QQuickWindow *>(c.window);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QQuickItem *scene = window->contentItem();
        const auto signInWith = [&](const QString &password) {
            QVERIFY(click(window, scene, QStringLiteral("会员")));
            QQuickItem *login = findShown(scene, QStringLiteral("loginView"));
            QVERIFY(login && click(window, login, QStringLiteral("passwordModeTab")));
            QQuickItem *phone =
                findShown(findShown(login, QStringLiteral("phoneField")), QStringLiteral("input"));
            if (phone->property("text").toString().isEmpty()) {
                QVERIFY(click(window, phone, QStringLiteral("input")));
                typeText(window, QStringLiteral("13800138000"));
            }
            QVERIFY(
                click(window, findShown(login, QStringLiteral("passwordField")), QStringLiteral("input")));
            typeText(window, password);
            QVERIFY(click(window, login, QStringLiteral("agreeBox")));
            QVERIFY(click(window, login, QStringLiteral("submitButton")));
        };

        signInWith(QStringLiteral("nimbra123"));
        QTRY_COMPARE_WITH_TIMEOUT(front.held(), 1, 10000);
        QVERIFY(click(window, scene, QStringLiteral("closeButton")));
        QVERIFY(c.isTrue("!navigation.loginDialog"));
        signInWith(QStringLiteral("wrong123"));
        QTRY_COMPARE_WITH_TIMEOUT(c.text("session.toastText"), QStringLiteral("手机号或密码错误"), 10000);

        front.releaseHeld();
        QTRY_VERIFY_WITH_TIMEOUT(!c.http->busy(), 10000);
        QVERIFY(c.isTrue("!loggedIn && navigation.loginDialog"));
        QVERIFY(findShown(findShown(scene, QStringLiteral("loginView")), QStringLiteral("passwordField")));
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // Service texts that are markup show as typed wherever the window puts them (a rendered one would
    // draw big red text and fetch the picture it names), and a flood of categories keeps the library's
    // chip row one line high above a visible grid.
    void hostileCatalogueThroughTheWindow()
    {
        clearStoredFiles(); // no recent game of an earlier test to be chosen again meanwhile
        DevServiceProcess service({QStringLiteral("--hostile-catalogue")});
        QVERIFY(service.isRunning());
        Client c(service.baseUrl());
        auto *window = qobject_cast<QQuickWindow *>(c.window);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QQuickItem *scene = window->contentItem();
        c.gameList->loadCommon();
        c.gameList->loadPage(1, QString(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(
            c.data.commonGamesLoaded() &&
                c.isTrue("Session.categories(N.App.globalData.gameCategories).length > 400"),
            10000);
        const QString title = c.text("N.App.globalData.commonGames[0].name");
        QVERIFY2(title.contains(QStringLiteral("<img src=")), qPrintable(title));

        QVERIFY(click(window, scene, QStringLiteral("游戏库")));
        // The library is made asynchronously; it is complete once its grid has placed the card and its
        // row the chip.
        QTRY_VERIFY(
            findShown(scene, QStringLiteral("libraryGrid")) &&
            findShown(findShown(scene, QStringLiteral("libraryGrid")), title) &&
            findShown(findShown(scene, QStringLiteral("categoryChips")), QStringLiteral("<i>标记</i>")));
        QQuickItem *chips = findShown(scene, QStringLiteral("categoryChips"));
        QQuickItem *grid = findShown(scene, QStringLiteral("libraryGrid"));
        QQuickItem *pager = findShown(scene, QStringLiteral("pager"));
        QVERIFY(chips && chips->height() < 2 * 30);
        QVERIFY(grid->height() >= 164);
        QVERIFY(grid->mapToScene(QPointF(0, grid->height())).y() <= pager->mapToScene(QPointF()).y());
        QVERIFY(pager->mapToScene(QPointF(0, pager->height())).y() <= window->height());
        // The title on its card, the category on its chip.
        QString problem =
            markupProblem(grid, title, 1) + markupProblem(chips, QStringLiteral("<i>标记</i>"), 1);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        // Chosen, the game's name reaches the home page: the common list, the status line, the selector.
        QVERIFY(c.settled());
        QVERIFY(click(window, grid, title));
        QCOMPARE(c.text("session.choice.gameId"), QStringLiteral("10099"));
        QVERIFY(c.settled());
        problem = markupProblem(scene, title, 3);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // Buying membership through the visible window: a private plan with its IP type and region, the
    // QR code read from a shot of the window, the payment completed at the service as a phone would,
    // and the new membership in the account menu.
    void membershipThroughTheWindow()
    {
        Client c(m_service->baseUrl());
        auto *window = qobject_cast<QQuickWindow *>(c.window);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QQuickItem *scene = window->contentItem();
        QVERIFY(c.signIn());
        const QString expiryBefore = c.text("dialogs.vipExpiryText");

        QVERIFY(click(window, scene, QStringLiteral("会员")));
        QTRY_VERIFY_WITH_TIMEOUT(c.isTrue("pages.vipPage && pages.vipPage.selection.products.length > 0"),
                                 10000);
        QVERIFY(click(window, scene, QStringLiteral("独享")));
        QTRY_VERIFY(findShown(scene, QStringLiteral("原生住宅 IP")));
        QVERIFY(click(window, scene, QStringLiteral("原生住宅 IP")));
        QVERIFY(click(window, scene, QStringLiteral("日本东京")));
        QCOMPARE(c.text("pages.vipPage.selection.currentProduct.name"),
                 QStringLiteral("原生住宅 IP · 日本东京"));
        QVERIFY(click(window, scene, QStringLiteral("agreement")));
        QVERIFY(click(window, scene, QStringLiteral("立即支付")));
        QTRY_VERIFY_WITH_TIMEOUT(c.isTrue("pages.vipPage.payment.opened"), 10000);
        QTRY_VERIFY(findShown(scene, QStringLiteral("paymentQrImage"))->property("status").toInt() == 1);

        QTemporaryDir dir;
        const QString shot = dir.filePath(QStringLiteral("window.png"));
        QVERIFY(window->grabWindow().save(shot));
        QProcess zbar;
        zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), shot});
        QVERIFY(zbar.waitForFinished(10000));
        const QString codeUrl = c.text("pages.vipPage.payment.codeUrl");
        QVERIFY(codeUrl.startsWith(QStringLiteral("weixin://")));
        QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), codeUrl);

        // Paid while another tab is shown: the payment went on without its page and says so.
        const qint64 orderId = c.eval(QStringLiteral("pages.vipPage.payment.orderId")).toLongLong();
        c.eval(QStringLiteral("navigation.selectTab('home', 0)"));
        QTRY_VERIFY(c.isTrue("!pages.vipPage && N.App.rechargeApi.payment.opened"));
        QCOMPARE(m_service->post(QStringLiteral("/__dev/pay"), QJsonObject{{"order_id", orderId}})
                     .value(QStringLiteral("code"))
                     .toInt(),
                 1);
        QTRY_COMPARE_WITH_TIMEOUT(c.text("session.toastText"), QStringLiteral("支付成功，会员权益已更新"),
                                  6000);
        QVERIFY(c.isTrue("!N.App.rechargeApi.payment.opened"));
        QVERIFY(click(window, scene, QStringLiteral("railAvatar")));
        QVERIFY(findShown(scene, QStringLiteral("会员类型：独享会员")));
        QVERIFY(c.text("dialogs.vipExpiryText") != expiryBefore);
        QVERIFY(findShown(scene, QStringLiteral("有效期：") + c.text("dialogs.vipExpiryText")));
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }

    // Signing out ends every purchase state of the session on the open membership page: the payment
    // dialog and its polling, the group dialogs, an order still being created. The next account sees
    // none of it, and a late answer to the old session's order opens nothing.
    void purchaseStatesEndWithTheSession()
    {
        Client c(m_service->baseUrl());
        auto *window = qobject_cast<QQuickWindow *>(c.window);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QQuickItem *scene = window->contentItem();
        QStringList requests;
        connect(c.recharge.get(), &RechargeApi::trace, this,
                [&requests](const QString &line) { requests << line; });
        const auto ready = [&c] {
            return QTest::qWaitFor(
                [&c] {
                    return c.isTrue(
                        "loggedIn && pages.vipPage && pages.vipPage.selection.products.length > 0 "
                        "&& !N.App.rechargeApi.busy");
                },
                10000);
        };
        const auto signIn = [&c, &ready](const QString &phone, const QString &password) {
            c.auth->loginPassword(phone, password);
            return ready();
        };
        const auto signOut = [&] {
            return click(window, scene, QStringLiteral("railAvatar")) &&
                   click(window, scene, QStringLiteral("退出登录"));
        };
        const auto pay = [&] {
            c.eval(QStringLiteral("pages.vipPage.selection.agreed = true"));
            return click(window, scene, QStringLiteral("payButton"));
        };
        const QString nothingOpen =
            QStringLiteral("!pages.vipPage.payment.opened && !pages.vipPage.orderCreating && "
                           "!pages.vipPage.groups.detailOpened"
                           " && !pages.vipPage.groups.leaderOpened && pages.vipPage.payment.orderId === 0"
                           " && pages.vipPage.payment.codeUrl === ''");

        QVERIFY(c.signIn());
        QVERIFY(click(window, scene, QStringLiteral("会员")));
        QVERIFY(ready());
        QVERIFY(pay());
        QTRY_VERIFY_WITH_TIMEOUT(c.isTrue("pages.vipPage.payment.opened"), 10000);
        const qint64 first = c.eval(QStringLiteral("pages.vipPage.payment.orderId")).toLongLong();
        c.eval(
            QStringLiteral("pages.vipPage.groups.openMyGroups(); pages.vipPage.groups.openLeaderCenter()"));
        QVERIFY(signOut());
        QVERIFY(c.isTrue(nothingOpen));
        QVERIFY(!findShown(scene, QStringLiteral("paymentDialog")));
        // The poll asks every third second; nothing is asked any more.
        requests.clear();
        QTest::qWait(3200);
        QCOMPARE(requests.filter(QStringLiteral("op=pay_status")), QStringList());

        QVERIFY(signIn(QStringLiteral("13900139000"), QStringLiteral("nimbra456")));
        QVERIFY(c.isTrue(nothingOpen));
        QVERIFY(!findShown(scene, QStringLiteral("paymentDialog")));

        // Signed out while the order is being created: the next sign-in finds the button free, and the
        // old session's order never shows.
        QVERIFY(pay());
        QVERIFY(c.isTrue("pages.vipPage.orderCreating"));
        QVERIFY(signOut());
        QVERIFY(signIn(QStringLiteral("13800138000"), QStringLiteral("nimbra123")));
        QTest::qWait(300);
        QVERIFY(c.isTrue(nothingOpen));
        QVERIFY(findShown(scene, QStringLiteral("立即支付")));
        QVERIFY(pay());
        QTRY_VERIFY_WITH_TIMEOUT(c.isTrue("pages.vipPage.payment.opened"), 10000);
        QVERIFY(c.eval(QStringLiteral("pages.vipPage.payment.orderId")).toLongLong() != first);
        QVERIFY2(c.warnings.isEmpty(), qPrintable(c.warnings.join(QLatin1Char('\n'))));
    }
};

int main(int argc, char **argv)
{
    // Before any thread exists, so that every thread and child shares the namespace.
    g_inPrivateNetwork = enterPrivateNetwork();
    QGuiApplication app(argc, argv);
    TestController test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_controller.moc"
