#include "state/globaldata.h"
#include "testsettings.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

namespace {

QStringList g_messages;

void capture(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_messages.append(message);
}

int countMessages(const QString &prefix)
{
    int count = 0;
    for (const QString &message : std::as_const(g_messages))
        count += message.startsWith(prefix) ? 1 : 0;
    return count;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

QVariantMap gameRecord(const QString &id, const QString &package, const QString &country)
{
    return {{"id", id}, {"package_name", package}, {"country", country}, {"ip_list", QStringList()}};
}

} // namespace

class TestGlobalData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { useTestSettings(); }

    void vocabularyIsConstant()
    {
        GlobalData *data = GlobalData::instance();
        QCOMPARE(GlobalData::instance(), data);

        // Every constant of the vocabulary has a value, and its paths are well formed.
        const QMetaObject *meta = data->metaObject();
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            if (!property.isConstant())
                continue;
            QVERIFY2(!property.hasNotifySignal() && !property.isWritable(), property.name());
            const QString value = property.read(data).toString();
            QVERIFY2(!value.isEmpty(), property.name());
            if (QByteArray(property.name()).endsWith("Path"))
                QVERIFY2(value.startsWith('/') && !value.endsWith('/'), property.name());
        }

        const QUrl base(data->apiBaseUrl());
        QCOMPARE(base.scheme(), QStringLiteral("https"));
        QVERIFY(base.path().isEmpty());
        QVERIFY(base.host().endsWith(QStringLiteral(".invalid")));

        QCOMPARE(data->smsSceneRegister(), data->operationRegister());
        QCOMPARE(QByteArray::fromBase64(data->nodeConfigAesKeyBase64().toLatin1()).size(), 32);
        QCOMPARE(data->settingsDeviceSecretKey(), QStringLiteral("auth/device_secret"));
        // Where the device secret is stored is not published to the interface.
        QCOMPARE(meta->indexOfProperty("settingsDeviceSecretKey"), -1);
    }

    void accountAndMembership()
    {
        GlobalData *data = GlobalData::instance();
        QSignalSpy account(data, &GlobalData::accountChanged);
        QSignalSpy membership(data, &GlobalData::membershipChanged);
        QCOMPARE(data->membership(), (QVariantMap{{"vip_num", 0}, {"is_vip", false}}));

        // A user id of 0 is not a signed-in account, whatever else came with it.
        data->setAuthenticated(QStringLiteral("13800138000"), 0, 50, 2);
        QVERIFY(!data->loggedIn());
        QCOMPARE(data->userPhone(), QStringLiteral("13800138000"));
        QCOMPARE(data->points(), 50);
        QCOMPARE(data->authVipNum(), 2);
        QCOMPARE(account.count(), 1);

        data->setAuthenticated(QStringLiteral("13800138000"), 42, 10, 7);
        QVERIFY(data->loggedIn());
        QCOMPARE(data->userId(), 42);
        data->setMembership({{"vip_type", "shared"}, {"vip_expire_at", 1800000000}});
        QCOMPARE(data->membership().value("vip_num"), QVariant(7));
        QCOMPARE(data->membership().value("is_vip"), QVariant(true));

        // A refresh without membership keeps the other keys and only updates vip_num / is_vip.
        data->setAuthenticated(QStringLiteral("13800138000"), 42, 10, 0);
        QCOMPARE(
            data->membership(),
            (QVariantMap{
                {"vip_num", 0}, {"is_vip", false}, {"vip_type", "shared"}, {"vip_expire_at", 1800000000}}));
        data->setMembership({{"is_vip", true}});
        QCOMPARE(data->membership().value("vip_num"), QVariant(0));
        QCOMPARE(data->membership().value("is_vip"), QVariant(true));
        QCOMPARE(data->membership().size(), 4);
        data->setMembership({});
        QCOMPARE(data->membership(), (QVariantMap{{"vip_num", 0}, {"is_vip", false}}));
        QCOMPARE(account.count(), 3);
        QCOMPARE(membership.count(), 6);
    }

    void signOutClearsEverythingInOrder()
    {
        GlobalData *data = GlobalData::instance();
        data->setAuthenticated(QStringLiteral("13900139000"), 9, 1, 3);
        data->setOrders({QVariantMap{{"order_no", "A1"}}});
        data->setLeaderTeamDetail({{"team_id", 5}});

        QStringList emitted;
        const QMetaObject *meta = data->metaObject();
        QList<QMetaObject::Connection> connections;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() != QMetaMethod::Signal || method.parameterCount() != 0)
                continue;
            const QString name = QString::fromLatin1(method.name());
            connections << connect(data, method, this,
                                   metaObject()->method(metaObject()->indexOfSlot("record()")));
            m_names.insert(method.methodIndex(), name);
        }
        m_emitted = &emitted;
        data->clearSessionData();
        // Already-empty records still announce themselves.
        data->clearSessionData();
        m_emitted = nullptr;
        for (const auto &connection : connections)
            disconnect(connection);

        const QStringList once = {"accountChanged",       "membershipChanged",
                                  "purchaseEntryChanged", "preparedPurchaseDataChanged",
                                  "ordersChanged",        "orderDetailChanged",
                                  "groupDetailChanged",   "leaderEntryChanged",
                                  "leaderTeamsChanged",   "leaderTeamDetailChanged"};
        QCOMPARE(emitted, once + once);
        QVERIFY(!data->loggedIn());
        QCOMPARE(data->userId(), 0);
        QVERIFY(data->userPhone().isEmpty());
        QCOMPARE(data->membership(), (QVariantMap{{"vip_num", 0}, {"is_vip", false}}));
        QVERIFY(data->orders().isEmpty());
        QVERIFY(data->leaderTeamDetail().isEmpty());
    }

    // The store only forwards to what the application installed; an empty text never reaches it.
    void clipboard()
    {
        const GlobalData *data = GlobalData::instance();
        static QStringList written;
        static bool accepts = true;
        GlobalData::setClipboardWriter(nullptr);
        QVERIFY(!data->copyToClipboard(QStringLiteral("K7M2QX")));
        GlobalData::setClipboardWriter([](const QString &text) {
            written << text;
            return accepts;
        });
        QVERIFY(!data->copyToClipboard(QString()));
        QVERIFY(data->copyToClipboard(QStringLiteral("NB-2026-团队码")));
        accepts = false;
        QVERIFY(!data->copyToClipboard(QStringLiteral("K7M2QX")));
        QCOMPARE(written, QStringList({QStringLiteral("NB-2026-团队码"), QStringLiteral("K7M2QX")}));
        GlobalData::setClipboardWriter(nullptr);
    }

    void catalogueState()
    {
        GlobalData data;
        QSignalSpy games(&data, &GlobalData::gamesChanged);
        QSignalSpy common(&data, &GlobalData::commonGamesChanged);
        data.setGames({gameRecord("1", "p", "c")}, {"全部", "射击"}, -2, 12, 30, 0);
        QCOMPARE(games.count(), 1);
        QVERIFY(data.gamePageLoaded());
        QCOMPARE(data.gamePage(), -2);
        QCOMPARE(data.gameTotalPages(), 1);
        QCOMPARE(data.gameTotal(), 30);
        QCOMPARE(data.gameCategories().size(), 2);
        data.setCommonGames({});
        data.setCommonGames({});
        QCOMPARE(common.count(), 2);
        QVERIFY(data.commonGamesLoaded());
    }

    void detailMerge()
    {
        GlobalData data;
        data.setCommonGames({gameRecord("10", "com.a", "国服"), gameRecord("11", "com.b", "国服")});
        data.setGames({gameRecord("10", "com.a", "国服"), gameRecord("12", "com.a", "美服"),
                       gameRecord("13", "com.c", "日服")},
                      {}, 1, 12, 3, 1);
        QStringList order;
        connect(&data, &GlobalData::commonGamesChanged, this, [&order] { order << "common"; });
        connect(&data, &GlobalData::gamesChanged, this, [&order] { order << "games"; });

        const QStringList ips{"192.0.2.0/24"};
        // Package and country match: one record in each list, common first.
        data.updateGameDetail({{"package_name", " com.a "}, {"country", "国服"}, {"ip_list", ips}});
        QCOMPARE(order, (QStringList{"common", "games"}));
        QCOMPARE(data.commonGames().at(0).toMap().value("ip_list").toStringList(), ips);
        QCOMPARE(data.games().at(0).toMap().value("ip_list").toStringList(), ips);
        QVERIFY(data.games().at(1).toMap().value("ip_list").toStringList().isEmpty());

        // The same detail again adds nothing: no signal.
        order.clear();
        data.updateGameDetail({{"package_name", " com.a "}, {"country", "国服"}, {"ip_list", ips}});
        QVERIFY(order.isEmpty());

        // No country: every record of that package; a different country only through the id.
        data.updateGameDetail({{"package_name", "com.a"}, {"ip_list", QStringList{"203.0.113.0/24"}}});
        QCOMPARE(order, (QStringList{"common", "games"}));
        QCOMPARE(data.games().at(1).toMap().value("ip_list").toStringList(), QStringList{"203.0.113.0/24"});
        order.clear();
        data.updateGameDetail({{"package_name", "com.c"}, {"country", "国服"}, {"ip_list", ips}});
        QVERIFY(order.isEmpty());
        data.updateGameDetail(
            {{"id", "13"}, {"package_name", "com.c"}, {"country", "国服"}, {"ip_list", ips}});
        QCOMPARE(order, QStringList{"games"});
        QCOMPARE(data.games().at(2).toMap().value("country").toString(), QStringLiteral("国服"));

        order.clear();
        data.updateGameDetail({});
        data.updateGameDetail({{"country", "国服"}, {"ip_list", ips}});
        QVERIFY(order.isEmpty());
    }

    void persistence()
    {
        const QString directory = GlobalData::dataDirectory();
        QVERIFY(directory.contains(QStringLiteral("qttest")));
        QDir(directory).removeRecursively();
        const QString recentPath = directory + QStringLiteral("/recent_boosted_game.json");
        const QString routesPath = directory + QStringLiteral("/game_route_selections.json");
        g_messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(capture);

        {
            GlobalData data;
            QSignalSpy recent(&data, &GlobalData::recentBoostedGameChanged);
            data.saveRecentBoostedGame({{"name", "no id"}});
            QCOMPARE(recent.count(), 0);
            QVERIFY(!QFile::exists(recentPath));

            QVariantMap game{{"id", " jx3 "},
                             {"name", "剑网3"},
                             {"title", "剑网3"},
                             {"en", "剑网"},
                             {"hue", 291},
                             {"cat", "国服"},
                             {"country", "国服"},
                             {"vendor", "国服"},
                             {"hot", true},
                             {"popular", 2},
                             {"ping", 0},
                             {"servers", QStringList{"国服"}},
                             {"iconSource", "https://x.test/i.png"},
                             {"backgroundSource", ""},
                             {"packageName", "com.seasun.jx3"},
                             {"package_name", "com.seasun.jx3"},
                             {"ip_list", QStringList{"192.0.2.1"}},
                             {"ipList", QStringList{"192.0.2.1"}},
                             {"numericId", 0},
                             {"icon", "i"},
                             {"large_image", "l"},
                             {"introduction", "长文"},
                             {"official_url", "https://x.test"},
                             {"commonType", 1},
                             {"commonTypeName", "热门"}};
            data.saveRecentBoostedGame(game);
            QCOMPARE(recent.count(), 1);
            QFile file(recentPath);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
            QCOMPARE(saved.size(), 18);
            QVERIFY(!saved.contains("introduction") && !saved.contains("numericId") &&
                    !saved.contains("icon"));
            QCOMPARE(saved.value("hot"), QJsonValue(true));
            QCOMPARE(saved.value("hue"), QJsonValue(291));
            QCOMPARE(saved.value("ip_list").toArray().size(), 1);
            QCOMPARE(data.recentBoostedGame().size(), 18);

            data.saveGameRouteSelection(QStringLiteral(" jx3 "), QStringLiteral(" route-a "));
            data.saveGameRouteSelection(QStringLiteral("jx3"), QStringLiteral("route-a"));
            data.saveGameRouteSelection(QStringLiteral("lol"), QStringLiteral(" "));
            data.saveGameRouteSelection(QStringLiteral("lol"), QStringLiteral("route-b"));
            QCOMPARE(countMessages(QStringLiteral("[Data] 游戏线路选择已保存 gameId=jx3")), 1);
            QCOMPARE(data.savedGameRouteSelection(QStringLiteral(" jx3")), QStringLiteral("route-a"));
        }
        {
            // A new run restores both files.
            GlobalData data;
            QCOMPARE(data.recentBoostedGame().value("id").toString().trimmed(), QStringLiteral("jx3"));
            QCOMPARE(data.recentBoostedGame().size(), 18);
            QCOMPARE(data.savedGameRouteSelection(QStringLiteral("lol")), QStringLiteral("route-b"));
            QCOMPARE(countMessages(QStringLiteral("[Data] 已恢复游戏线路选择 count=2")), 1);
        }

        // Foreign or broken files: ignored, with a warning for the route file.
        writeFile(routesPath, R"(["jx3", "route-a"])");
        writeFile(recentPath, R"({"name": "剑网3", "title": "剑网3"})");
        {
            GlobalData data;
            QVERIFY(data.recentBoostedGame().isEmpty());
            QVERIFY(data.savedGameRouteSelection(QStringLiteral("jx3")).isEmpty());
            QCOMPARE(countMessages(QStringLiteral("[Data] 游戏线路选择配置无效，已忽略")), 1);
        }
        writeFile(routesPath, R"({"jx3": 7, " lol ": " route-c ", "": "x", "cs2": ""})");
        {
            GlobalData data;
            QVERIFY(data.savedGameRouteSelection(QStringLiteral("jx3")).isEmpty());
            QCOMPARE(data.savedGameRouteSelection(QStringLiteral("lol")), QStringLiteral("route-c"));
            QCOMPARE(countMessages(QStringLiteral("[Data] 已恢复游戏线路选择 count=1")), 1);
        }

        // An unwritable data directory: warnings, and the in-memory state stays as it was.
        QDir(directory).removeRecursively();
        writeFile(directory, "not a directory");
        {
            GlobalData data;
            data.saveGameRouteSelection(QStringLiteral("jx3"), QStringLiteral("route-z"));
            QVERIFY(data.savedGameRouteSelection(QStringLiteral("jx3")).isEmpty());
            QCOMPARE(countMessages(QStringLiteral("[Data] 游戏线路选择保存失败 gameId=jx3")), 1);
            data.saveRecentBoostedGame({{"id", "lol"}, {"name", "英雄联盟"}});
            QVERIFY(data.recentBoostedGame().isEmpty());
            QCOMPARE(countMessages(QStringLiteral("[Data] 最近加速游戏保存失败")), 1);
        }
        QFile::remove(directory);
        qInstallMessageHandler(previous);
    }

public slots:
    void record()
    {
        if (m_emitted)
            m_emitted->append(m_names.value(senderSignalIndex()));
    }

private:
    QHash<int, QString> m_names;
    QStringList *m_emitted = nullptr;
};

QTEST_MAIN(TestGlobalData)
#include "tst_globaldata.moc"
