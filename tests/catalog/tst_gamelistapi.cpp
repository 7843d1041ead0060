// The catalogue client: normalisation of server games, de-duplication, detail keys, and the three
// requests against the dev service.
#include "catalog/gamelistapi.h"
#include "devserviceprocess.h"
#include "net/httpmanager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

namespace {

// JSON written with single quotes, which keeps the fixtures readable inside C++ strings.
QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json).replace('\'', '"')).object();
}

} // namespace

class TestGameListApi : public QObject
{
    Q_OBJECT

private slots:
    void normalisation()
    {
        const GameListApi api;
        QVariantMap game =
            api.normalizeGame(object("{'id': 17, 'title': ' 英雄联盟 ', 'package_name': ' com.lol ', 'icon': "
                                     "' https://x.test/i.png', 'large_image': '', 'ip_list': '192.0.2.1, "
                                     "192.0.2.0/24;198.51.100.7', 'popular': 2, 'country': ' 国服 '}"));
        QCOMPARE(game.value("id"), QVariant("17"));
        QCOMPARE(game.value("numericId").toLongLong(), 17);
        QCOMPARE(game.value("title"), QVariant("英雄联盟"));
        QCOMPARE(game.value("name"), QVariant("英雄联盟"));
        QCOMPARE(game.value("en"), QVariant("英雄联盟"));
        QCOMPARE(game.value("packageName"), QVariant("com.lol"));
        QCOMPARE(game.value("iconSource"), QVariant(" https://x.test/i.png"));
        QCOMPARE(game.value("ip_list").toStringList(),
                 (QStringList{"192.0.2.1", "192.0.2.0/24", "198.51.100.7"}));
        QCOMPARE(game.value("ipList"), game.value("ip_list"));
        QCOMPARE(game.value("hot"), QVariant(true));
        QCOMPARE(game.value("country"), QVariant("国服"));
        QCOMPARE(game.value("cat"), QVariant("国服"));
        QCOMPARE(game.value("servers").toStringList(), QStringList{"国服"});
        QCOMPARE(game.value("hue").toInt(), (37 * 17) % 360);
        QCOMPARE(game.value("ping").toInt(), 0);

        // No id: the title stands in; a long title gives a two-letter label.
        game = api.normalizeGame(object(
            "{'title': 'Apex Legends', 'popular': 4, 'ip_list': ['203.0.113.9', 5, ' ', ' 203.0.113.10 ']}"));
        QCOMPARE(game.value("id"), QVariant("Apex Legends"));
        QCOMPARE(game.value("numericId").toLongLong(), 0);
        QCOMPARE(game.value("hue").toInt(), 0);
        QCOMPARE(game.value("en"), QVariant("AP"));
        QCOMPARE(game.value("hot"), QVariant(false));
        QCOMPARE(game.value("ip_list").toStringList(), (QStringList{"203.0.113.9", "203.0.113.10"}));
        QCOMPARE(game.value("cat"), QVariant("全部"));
        QCOMPARE(game.value("vendor"), QVariant("在线游戏"));
        QCOMPARE(game.value("servers").toStringList(), QStringList{"默认区服"});

        QCOMPARE(api.normalizeGame(object("{'title': 'dota'}")).value("en"), QVariant("DOTA"));
        QCOMPARE(api.normalizeGame(object("{'title': 'pubgm'}")).value("en"), QVariant("PU"));
        QCOMPARE(api.normalizeGame(object("{'id': 'x'}")).value("en"), QVariant("GAME"));
        QCOMPARE(api.normalizeGame(object("{'id': 'cs2', 'popular': 3}")).value("hot"), QVariant(true));
        QCOMPARE(api.normalizeGame(object("{'id': 5, 'popular': '2'}")).value("popular").toInt(), 0);
        QCOMPARE(api.normalizeGame(object("{'id': -3}")).value("hue").toInt(), (37 * -3) % 360);
        // A huge id wraps instead of overflowing.
        const QVariantMap huge = api.normalizeGame(object("{'id': '9223372036854775807'}"));
        QCOMPARE(huge.value("numericId").toLongLong(), Q_INT64_C(9223372036854775807));
        QVERIFY(qAbs(huge.value("hue").toInt()) < 360);
        QCOMPARE(api.normalizeGame(object("{'id': 1, 'ip_list': 42}")).value("ip_list").toStringList(),
                 QStringList());
    }

    void requestsAndResults()
    {
        DevServiceProcess service;
        QVERIFY(service.isRunning());
        HttpManager http;
        GameListApi api;
        api.setBaseUrl(service.baseUrl());
        api.setHttpManager(&http);
        QSignalSpy common(&api, &GameListApi::commonLoaded);
        QSignalSpy page(&api, &GameListApi::pageLoaded);
        QSignalSpy detail(&api, &GameListApi::detailLoaded);
        QSignalSpy failed(&api, &GameListApi::requestFailed);
        QSignalSpy busy(&api, &GameListApi::busyChanged);

        api.loadCommon();
        api.loadPage(0, QStringLiteral(" "), QStringLiteral(" "));
        QVERIFY(api.busy());
        QVERIFY(common.wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(page.count(), 1, 10000);
        QVERIFY(!api.busy());
        QCOMPARE(busy.count(), 2);

        // The common list holds every id once, the first group's entry winning.
        const QVariantList games = common.constFirst().at(0).toList();
        QVERIFY(games.size() >= 5);
        QSet<QString> ids;
        for (const QVariant &entry : games) {
            const QVariantMap game = entry.toMap();
            QVERIFY2(!ids.contains(game.value("id").toString()), qPrintable(game.value("id").toString()));
            ids.insert(game.value("id").toString());
            QVERIFY(game.contains("commonType") && game.contains("commonTypeName"));
        }
        const QVariantList first = page.constFirst();
        QCOMPARE(first.at(2).toInt(), 1);
        QCOMPARE(first.at(3).toInt(), 12);
        QCOMPARE(first.at(0).toList().size(), 12);
        QVERIFY(first.at(4).toInt() >= 40);
        QVERIFY(first.at(6).toBool());

        // One request per detail key in flight; an unknown game fails and frees its key.
        const QVariantMap jx3 = games.constFirst().toMap();
        api.loadDetail(QStringLiteral(" com.nope.unknown "), QStringLiteral("国服"));
        api.loadDetail(QStringLiteral("com.nope.unknown"), QStringLiteral(" 国服"));
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
        QCOMPARE(failed.constFirst().at(0).toString(), QStringLiteral("detail"));
        api.loadDetail(QStringLiteral("com.nope.unknown"), QStringLiteral("国服"));
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 2, 10000);

        api.loadDetail(QString(), QStringLiteral("国服"));
        QCOMPARE(failed.constLast(), (QVariantList{"detail", "游戏包名或区服为空，无法获取游戏 IP"}));

        const QString package = jx3.value("package_name").toString();
        const QString country = jx3.value("country").toString();
        api.loadDetail(package, country);
        api.loadDetail(package, country);
        QVERIFY(detail.wait(10000));
        // Nothing left in flight once the one answer is in: the repeat was never sent.
        QVERIFY(!api.busy());
        QCOMPARE(detail.count(), 1);
        QCOMPARE(detail.constFirst().at(0).toMap().value("package_name").toString(), package);
    }

    void withoutTransport()
    {
        GameListApi api;
        QSignalSpy failed(&api, &GameListApi::requestFailed);
        api.loadCommon();
        api.loadDetail(QStringLiteral("p"), QStringLiteral("c"));
        api.loadDetail(QStringLiteral("p"), QStringLiteral("c"));
        QCOMPARE(failed.count(), 3);
        QCOMPARE(failed.at(0), (QVariantList{"common", "网络管理器未初始化"}));
        QVERIFY(!api.busy());
    }
};

QTEST_GUILESS_MAIN(TestGameListApi)
#include "tst_gamelistapi.moc"
