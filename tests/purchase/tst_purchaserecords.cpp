// Orders in the shapes the purchase service sends, brought into the one shape the screens read; the
// requests built from what the screens hold; the texts of a membership record.
#include "purchase/purchaserecords.h"

#include "purchase/membershiptexts.h"
#include "purchase/purchaserequests.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using nimbra::purchase::normalizeLeaderEntry;
using nimbra::purchase::normalizeMember;
using nimbra::purchase::normalizeOrder;
using nimbra::purchase::normalizeOrders;
using nimbra::purchase::normalizePayment;
using nimbra::purchase::normalizeTeam;

namespace {

// JSON written with single quotes, which keeps the rows readable inside C++ strings.
QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json).replace('\'', '"')).object();
}

const char *const kLeaderEntry =
    "{'node_types': [{'value': '1', 'node_type_id': 1, 'regions': [{'value': '1', 'region_id': 1, "
    "'region_key': 'guofu'}]}, {'value': '2', 'node_type_id': 2, 'regions': [{'value': '2', 'region_id': 2, "
    "'region_key': 'hanfu'}, {'value': '1', 'region_id': 1, 'region_key': 'guofu'}]}], "
    "'price_map': {'2_guofu_5': {'product_id': 41009}, '2_hanfu_5': {'product_id': 0}, '1_guofu_10': {}}}";

const char *const kPrivatePlans =
    "[{'nodeType': 'home', 'region': 'sh', 'ids': {'region_id': 1, 'node_type_id': 11}}, "
    "{'nodeType': 'idc', 'region': 'sh', 'ids': {'node_type_key': 'idc', 'region_key': 'sh', 'region_id': 2, "
    "'node_type_id': 12}}]";

// 2027-01-01 00:00 UTC, as the local date the texts show.
constexpr qint64 kExpiry = 1798675200;
const QString kDay = QDateTime::fromSecsSinceEpoch(kExpiry).toString(QStringLiteral("yyyy-MM-dd"));

} // namespace

class TestPurchaseRecords : public QObject
{
    Q_OBJECT

private slots:
    void orderField_data()
    {
        QTest::addColumn<QJsonObject>("order");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("expected");

        const auto row = [](const char *tag, const char *json, const char *key, const QVariant &expected) {
            QTest::newRow(tag) << object(json) << QString::fromLatin1(key) << expected;
        };
        row("id as text", "{'order_id': '42', 'id': 7}", "order_id", 42);
        row("id under id", "{'id': 7}", "order_id", 7);
        row("id not a number", "{'order_id': 'x'}", "order_id", 0);
        row("price in amount", "{'amount': {'order_price': '30.5'}, 'pay_amount': 9}", "price_fen", 3050LL);
        row("price after null", "{'amount': 12, 'pay_amount': null, 'price': 8}", "price_fen", 800LL);
        row("price to the nearest fen", "{'price': 19.99}", "price_fen", 1999LL);
        row("price shown whole", "{'price': 30}", "price_text", QStringLiteral("30"));
        row("price shown to the jiao", "{'price': '30.50'}", "price_text", QStringLiteral("30.5"));
        row("price shown to the fen", "{'price': 12.05}", "price_text", QStringLiteral("12.05"));
        row("status in any case", "{'payment_status': 'PAID'}", "payment_status_text",
            QStringLiteral("已支付"));
        row("status without words", "{'payment_status': 'on_hold'}", "payment_status_text",
            QStringLiteral("处理中"));
        row("status in words", "{'payment_status': '退款中'}", "payment_status_text",
            QStringLiteral("退款中"));
        row("no status", "{}", "payment_status_text", QStringLiteral("未知状态"));
        row("name from plan", "{'plan_name': '月卡', 'title': 'x'}", "product_name", QStringLiteral("月卡"));
        row("type lowered", "{'order_type': 'Group_Node'}", "product_type", QStringLiteral("group_node"));
        row("group by type", "{'order_type': 'Group_Node'}", "is_group", true);
        row("group by code", "{'team_code': 'AB'}", "is_group", true);
        row("group by id", "{'type': 'private', 'group_id': 9}", "is_group", true);
        row("group by its map", "{'product_type': 'shared', 'group': {'team_id': 3}}", "is_group", true);
        row("empty group status", "{'product_type': 'shared', 'group_status': ''}", "is_group", false);
        row("team id in group", "{'group': {'team_id': 7, 'team_code': 'AB'}}", "team_id", 7);
        row("team id in team", "{'team': {'team_id': 8}}", "team_id", 8);
        row("own team id first", "{'team_id': 5, 'group': {'team_id': 7}}", "team_id", 5);
        row("group id as id", "{'group_id': 0, 'group': {'team_id': 0, 'id': 12}}", "group_id", 12);
        row("code in group", "{'group': {'team_code': ' K7M2QX '}}", "team_code", QStringLiteral("K7M2QX"));
        row("game title", "{'game_title': '原神', 'title': 'x'}", "game_name", QStringLiteral("原神"));
        row("can pay as number", "{'can_pay': 1}", "can_pay", true);
        row("expiry as text", "{'expire_at': '1700000000'}", "expire_at", 1700000000LL);
        row("no group", "{'order_id': 1}", "group", QVariantMap());
    }

    void orderField()
    {
        QFETCH(QJsonObject, order);
        QFETCH(QString, key);
        QFETCH(QVariant, expected);
        QCOMPARE(normalizeOrder(order).value(key), expected);
    }

    void paymentField_data()
    {
        QTest::addColumn<QJsonObject>("payment");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("expected");

        const auto row = [](const char *tag, const char *json, const char *key, const QVariant &expected) {
            QTest::newRow(tag) << object(json) << QString::fromLatin1(key) << expected;
        };
        row("id as text", "{'order_id': '42'}", "order_id", 42LL);
        row("expiry of wechat", "{'expire_at': 0, 'wechat': {'expire_at': 1700000000}}", "expire_at",
            1700000000LL);
        row("own expiry first", "{'expire_at': 5, 'wechat': {'expire_at': 9}}", "expire_at", 5LL);
        row("price as text", "{'amount': {'order_price': '19.9'}}", "price_fen", 1990LL);
        row("bare amount is no price", "{'amount': 19.9}", "price_fen", 0LL);
        row("code trimmed", "{'wechat': {'code_url': ' weixin://x '}}", "code_url",
            QStringLiteral("weixin://x"));
    }

    void paymentField()
    {
        QFETCH(QJsonObject, payment);
        QFETCH(QString, key);
        QFETCH(QVariant, expected);
        QCOMPARE(normalizePayment(payment).value(key), expected);
    }

    void teamField_data()
    {
        QTest::addColumn<QJsonObject>("team");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("expected");

        const auto row = [](const char *tag, const char *json, const char *key, const QVariant &expected) {
            QTest::newRow(tag) << object(json) << QString::fromLatin1(key) << expected;
        };
        row("order amount first", "{'amount': {'order_price': 27.9}, 'price': 30}", "price_fen", 2790LL);
        row("member price as text", "{'member_price': '19.9'}", "price_fen", 1990LL);
        row("seat price map", "{'seat_price': {'price': 17}}", "price_fen", 1700LL);
        row("seat price shown", "{'seat_price': {'price': 17}}", "price_text", QStringLiteral("17"));
        row("size as capacity", "{'capacity': 5}", "member_count", 5LL);
        row("size as max", "{'member_count': 0, 'max_members': 8}", "member_count", 8LL);
        row("size as team size", "{'team_size': '10'}", "member_count", 10LL);
        row("paid as current", "{'current_members': 4, 'joined_count': 3}", "paid_member_count", 4LL);
        row("paid as joined text", "{'joined_count': '3'}", "paid_member_count", 3LL);
        row("paid members", "{'paid_member_count': 0, 'paid_members': 2}", "paid_member_count", 2LL);
        row("label as status text", "{'status_text': 'PENDING'}", "status_label", QStringLiteral("PENDING"));
        row("group status first", "{'group_status': 'success', 'status': 'x'}", "status",
            QStringLiteral("success"));
        row("waiting status", "{'waiting_status': 'expired'}", "status", QStringLiteral("expired"));
        row("node by key", "{'node_type_key': 'dc'}", "node_type_name", QStringLiteral("dc"));
        row("name as title", "{'title': '团长团'}", "name", QStringLiteral("团长团"));
        row("type lowered", "{'team_type': 'Leader'}", "team_type", QStringLiteral("leader"));
        row("order payload", "{'order_payload': {'product_id': 9}}", "join_payload",
            QVariantMap{{QStringLiteral("product_id"), 9}});
        row("payload not a map", "{'join_payload': 'x'}", "join_payload", QVariantMap());
        const auto game = [](const char *value, const char *text, bool available) {
            return QVariantMap{{QStringLiteral("value"), QString::fromUtf8(value)},
                               {QStringLiteral("text"), QString::fromUtf8(text)},
                               {QStringLiteral("available"), available}};
        };
        row("games as choices",
            "{'available_games': [{'package_name': 'com.valve.cs2', 'name': 'CS2', 'title': 'CS 2', "
            "'available': false}, "
            "{'game_id': 5001, 'label': 'LOL'}, {'name': 'no value'}, 'com.x.y'], 'games': ['a']}",
            "games",
            QVariantList{game("com.valve.cs2", "CS2", false), game("5001", "LOL", true),
                         game("com.x.y", "com.x.y", true)});
        row("games otherwise", "{'games': [{'id': 3}]}", "games", QVariantList{game("3", "", true)});
        row("other keys kept", "{'invite_link': 'https://x'}", "invite_link", QStringLiteral("https://x"));
    }

    void teamField()
    {
        QFETCH(QJsonObject, team);
        QFETCH(QString, key);
        QFETCH(QVariant, expected);
        QCOMPARE(normalizeTeam(team).value(key), expected);
    }

    void memberField_data()
    {
        QTest::addColumn<QJsonObject>("member");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("expected");

        const auto row = [](const char *tag, const char *json, const char *key, const QVariant &expected) {
            QTest::newRow(tag) << object(json) << QString::fromLatin1(key) << expected;
        };
        row("shown as name", "{'name': 'Kyo'}", "display_name", QStringLiteral("Kyo"));
        row("shown as user name", "{'nickname': ' ', 'user_name': 'K'}", "display_name", QStringLiteral("K"));
        row("no nickname", "{'name': 'Kyo'}", "nickname", QString());
        row("game by package", "{'package_name': 'com.valve.cs2'}", "game_name",
            QStringLiteral("com.valve.cs2"));
        row("game by title", "{'game_title': 'CS2'}", "has_game", true);
        row("game by id", "{'game_id': 5001}", "has_game", true);
        row("no game", "{'nickname': 'Kyo'}", "has_game", false);
    }

    void memberField()
    {
        QFETCH(QJsonObject, member);
        QFETCH(QString, key);
        QFETCH(QVariant, expected);
        QCOMPARE(normalizeMember(member).value(key), expected);
    }

    void entryChoice_data()
    {
        QTest::addColumn<QJsonObject>("entry");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");

        const auto row = [](const char *tag, const char *choice, const char *value, const char *text) {
            const QByteArray json = QByteArray("{'member_counts': [") + choice + "]}";
            QTest::newRow(tag) << object(json.constData()) << QString::fromUtf8(value)
                               << QString::fromUtf8(text);
        };
        row("number", "5", "5", "5");
        row("region", "{'region_id': 3, 'region_key': 'rifu', 'region_name': '日服'}", "3", "日服");
        row("key without id", "{'region_key': 'rifu', 'label': '日服'}", "rifu", "日服");
        row("code", "{'code': 'x'}", "x", "x");
        row("value and title", "{'value': 10, 'title': '10 人'}", "10", "10 人");
    }

    void entryChoice()
    {
        QFETCH(QJsonObject, entry);
        QFETCH(QString, value);
        QFETCH(QString, text);
        const QVariantMap choice =
            normalizeLeaderEntry(entry).value("member_counts").toList().value(0).toMap();
        QCOMPARE(choice.value("value").toString(), value);
        QCOMPARE(choice.value("text").toString(), text);
    }

    // A line carries its id as a number and its regions as choices; only a true is a leader.
    void entryLines()
    {
        const QVariantMap entry = normalizeLeaderEntry(object(
            "{'is_leader': 'true', 'node_types': [{'node_type_id': '2', 'node_type_name': '原生住宅 IP', "
            "'regions': [{'region_id': 1, 'region_key': 'guofu', 'region_name': '国服'}]}]}"));
        QCOMPARE(entry.value("is_leader"), QVariant(false));
        QCOMPARE(entry.value("price_map"), QVariant(QVariantMap()));
        const QVariantMap line = entry.value("node_types").toList().value(0).toMap();
        QCOMPARE(line.value("value"), QVariant(QStringLiteral("2")));
        QCOMPARE(line.value("node_type_id"), QVariant(2LL));
        const QVariantMap region = line.value("regions").toList().value(0).toMap();
        QCOMPARE(region.value("value"), QVariant(QStringLiteral("1")));
        QCOMPARE(region.value("region_key"), QVariant(QStringLiteral("guofu")));
    }

    // Every order has the same keys with the same types, whatever the service left out.
    void fixedShape()
    {
        const QVariantMap empty = normalizeOrder({});
        const QVariantMap full = normalizeOrder(object(
            "{'order_id': 26000061, 'order_no': 'NB1', 'product_type': 'group', 'product_name': '拼团', "
            "'amount': {'order_price': 19.9}, 'payment_status': 'paid', 'can_pay': false, 'created_at': 1, "
            "'group': {'team_id': 7002, 'team_code': 'AB'}, 'extra': 1}"));
        QCOMPARE(full.keys(), empty.keys());
        for (auto it = empty.constBegin(); it != empty.constEnd(); ++it)
            QCOMPARE(full.value(it.key()).typeId(), it.value().typeId());
        QCOMPARE(empty.value("order_id").typeId(), QMetaType::LongLong);
        QCOMPARE(empty.value("price_fen").typeId(), QMetaType::LongLong);
        QCOMPARE(empty.value("payment_status").typeId(), QMetaType::QString);

        const QVariantList orders = normalizeOrders(QJsonArray{7, QJsonValue(), object("{'id': 3}")});
        QCOMPARE(orders.size(), 1);
        QCOMPARE(orders.constFirst().toMap().value("order_id"), QVariant(3LL));
    }

    void body_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QJsonObject>("input");
        QTest::addColumn<QJsonObject>("expected");
        const auto row = [](const char *tag, const char *request, const QByteArray &input,
                            const char *expected) {
            QTest::newRow(tag) << QString::fromLatin1(request) << object(input.constData())
                               << object(expected);
        };
        const QByteArray privateChoice =
            "{'mode': 'private', 'plan': {'payload': {'product_id': 3, 'region_id': 0}}, "
            "'selection': {'ipType': 'idc', 'region': 'sh', 'products': " +
            QByteArray(kPrivatePlans) +
            ", 'ipOptions': [{'value': 'idc', 'ids': {'node_type_id': 99, "
            "'node_type_key': 'idc'}}], 'regionOptions': [{'value': 'sh', 'ids': "
            "{'region_id': 1, 'region_key': 'sh'}}]}}";
        // The plan under the chosen node type decides the region id, not the first region option.
        row("private plan's ids first", "plan", privateChoice,
            "{'product_id': 3, 'ip_type': 'idc', 'region': 'sh', 'node_type_id': 12, 'node_type_key': 'idc', "
            "'region_id': 2, 'region_key': 'sh'}");
        row("private options' ids", "plan",
            QByteArray(privateChoice).replace("'nodeType': 'idc'", "'nodeType': 'x'"),
            "{'product_id': 3, 'ip_type': 'idc', 'region': 'sh', 'node_type_id': 99, 'node_type_key': 'idc', "
            "'region_id': 1, 'region_key': 'sh'}");
        row("plan without payload", "plan", "{'mode': 'shared', 'plan': {'name': '月卡'}, 'selection': {}}",
            "{}");
        row("group game", "plan",
            "{'mode': 'group', 'plan': {'payload': {'product_id': 1, 'node_type_id': '3', 'game_id': 1}}, "
            "'selection': {'ipType': 'home', 'teamSize': 5, 'gameId': 'com.a.b', 'gameOption': "
            "{'packageName': "
            "'com.a.b', 'gameId': 77}}}",
            "{'product_id': 1, 'node_type_id': 3, 'game_id': 77, 'ip_type': 'home', 'member_count': 5, "
            "'package_name': 'com.a.b'}");
        row("group game id only", "plan",
            "{'mode': 'group', 'plan': {'payload': {'product_id': 1, 'node_type_id': 'home'}}, 'selection': "
            "{'teamSize': 0, 'gameId': '9', 'gameOption': {'packageName': '', 'gameId': 9}}}",
            "{'product_id': 1, 'node_type_id': 'home', 'game_id': 9}");
        row("group package as id", "plan",
            "{'mode': 'group', 'plan': {'payload': {'game_id': 4}}, 'selection': {'gameId': 'com.x.y'}}",
            "{'package_name': 'com.x.y'}");
        row("seat drops the payload's game", "seat",
            "{'team': {'join_payload': {'team_id': 7, 'product_id': 41001, 'game_id': 5001}}, 'code': "
            "'K7M2QX', "
            "'game': 'com.valve.cs2'}",
            "{'team_id': 7, 'product_id': 41001, 'team_code': 'K7M2QX', 'package_name': 'com.valve.cs2'}");
        row("seat without payload", "seat", "{'team': {}, 'code': 'K7M2QX', 'game': 'com.valve.cs2'}",
            "{'team_code': 'K7M2QX', 'package_name': 'com.valve.cs2'}");
        row("team of a price item", "team", "{'line': '2', 'region': '1', 'size': 5}",
            "{'product_id': 41009, 'node_type_id': 2, 'country_id': 1, 'member_count': 5}");
        row("team of product id 0", "team", "{'line': '2', 'region': '2', 'size': 5}", "{}");
        row("team of an item without product", "team", "{'line': '1', 'region': '1', 'size': 10}", "{}");
        row("team without price item", "team", "{'line': '2', 'region': '1', 'size': 10}", "{}");
        row("team of another line's region", "team", "{'line': '1', 'region': '2', 'size': 5}", "{}");
        row("team without size", "team", "{'line': '2', 'region': '1', 'size': 0}", "{}");
        row("query by team first", "query",
            "{'order': {'order_id': 1, 'team_id': 5, 'group_id': 12, 'team_code': 'AB'}, 'id': 1}",
            "{'team_id': 5}");
        row("query by group", "query",
            "{'order': {'team_id': 0, 'group_id': 12, 'team_code': 'AB'}, 'id': 1}", "{'group_id': 12}");
        row("query by code", "query", "{'order': {'team_code': ' K7M2QX '}, 'id': 1}",
            "{'team_code': 'K7M2QX'}");
        row("query by order", "query", "{'order': {'team_id': 0, 'team_code': ''}, 'id': 26000001}",
            "{'order_id': 26000001}");
        row("nothing to query", "query", "{'order': {}, 'id': 0}", "{}");
    }

    void body()
    {
        QFETCH(QString, request);
        QFETCH(QJsonObject, input);
        QFETCH(QJsonObject, expected);
        const QVariantMap in = input.toVariantMap();
        QVariantMap body;
        if (request == QLatin1String("plan"))
            body = nimbra::purchase::planOrderBody(in.value("mode").toString(), in.value("plan").toMap(),
                                                   in.value("selection").toMap());
        else if (request == QLatin1String("seat"))
            body = nimbra::purchase::seatOrderBody(in.value("team").toMap(), in.value("code").toString(),
                                                   in.value("game").toString());
        else if (request == QLatin1String("team"))
            body = nimbra::purchase::teamCreateBody(object(kLeaderEntry).toVariantMap(),
                                                    in.value("line").toString(),
                                                    in.value("region").toString(), in.value("size").toInt());
        else
            body = nimbra::purchase::groupDetailQuery(in.value("order").toMap(), in.value("id").toLongLong());
        QCOMPARE(QJsonObject::fromVariantMap(body), expected);
    }

    void typeText_data()
    {
        QTest::addColumn<QVariantMap>("membership");
        QTest::addColumn<QString>("expected");
        QTest::newRow("vip_num, capitals")
            << object("{'vip_num': 3, 'vip_type': 'SHARED'}").toVariantMap() << "共享会员";
        QTest::newRow("punctuation") << object("{'is_vip': true, 'vip_type': ' Private! '}").toVariantMap()
                                     << "独享会员";
        QTest::newRow("spaced CJK") << object("{'active': true, 'plan_type': '拼 团'}").toVariantMap()
                                    << "拼团会员";
        QTest::newRow("status enabled")
            << object("{'status': 'enabled', 'type': 'Monthly'}").toVariantMap() << "月卡会员";
        QTest::newRow("vipNum") << object("{'vipNum': 1, 'plan_name': '季卡'}").toVariantMap() << "季卡会员";
        QTest::newRow("vip_num as text")
            << object("{'vip_num': '2', 'product_name': 'Annual'}").toVariantMap() << "年卡会员";
        QTest::newRow("first truthy key")
            << object("{'is_vip': true, 'vip_type': '', 'member_type': 'Gold-Plus 2'}").toVariantMap()
            << "goldplus2";
        QTest::newRow("no name") << object("{'is_vip': true}").toVariantMap() << "尊享会员";
        QTest::newRow("nothing left of the name")
            << object("{'is_vip': true, 'vip_type': '★'}").toVariantMap() << "尊享会员";
        QTest::newRow("vip_num 0 wins over vipNum")
            << object("{'vip_num': 0, 'vipNum': 4, 'vip_type': 'shared'}").toVariantMap() << "";
        QTest::newRow("expired")
            << object("{'vip_num': '0', 'status': 'expired', 'vip_type': 'shared'}").toVariantMap() << "";
        QTest::newRow("none") << QVariantMap() << "";
    }
    void typeText()
    {
        QFETCH(QVariantMap, membership);
        QFETCH(QString, expected);
        QCOMPARE(nimbra::purchase::membershipTypeText(membership), expected);
    }

    void expiryText_data()
    {
        QTest::addColumn<QVariantMap>("membership");
        QTest::addColumn<QString>("expiry");
        QTest::addColumn<QString>("description");
        const QString at = kDay + QStringLiteral(" 到期");
        const auto row = [](const char *tag, const QByteArray &json, const QString &expiry,
                            const QString &description) {
            QTest::newRow(tag) << object(json.constData()).toVariantMap() << expiry << description;
        };
        const QByteArray day = QByteArray::number(kExpiry);
        row("date", "{'is_vip': true, 'vip_expire_at': " + day + "}", at, at);
        row("zero days left", "{'vip_num': 2, 'expire_at': " + day + ", 'remaining_days': 0, 'left_days': 4}",
            at + " · 剩余 0 天", at + " · 剩余 0 天");
        row("left days", "{'is_vip': true, 'expire_at': " + day + ", 'left_days': 5}", at + " · 剩余 5 天",
            at + " · 剩余 5 天");
        row("later key, as text", "{'is_vip': true, 'vip_expire_at': 0, 'expire_time': '" + day + "'}", at,
            "会员已开通 · 到期时间未知");
        row("lifetime", "{'is_vip': true, 'lifetime': true}", "永久有效", "永久有效");
        row("permanent status", "{'vip_num': 1, 'status': 'lifetime', 'vip_expire_at': -5}", "永久有效",
            "永久有效");
        row("permanent only when true", "{'is_vip': true, 'permanent': 'yes'}", "到期时间未知",
            "会员已开通 · 到期时间未知");
        row("unreadable expiry", "{'active': true, 'vip_expire_at': 'soon'}", "到期时间未知",
            "会员已开通 · 到期时间未知");
        row("not a member", "{'is_vip': false, 'vip_expire_at': " + day + "}", "未开通",
            "选择适合你的购买方式，微信扫码即可开通");
    }
    void expiryText()
    {
        QFETCH(QVariantMap, membership);
        QFETCH(QString, expiry);
        QFETCH(QString, description);
        QCOMPARE(nimbra::purchase::membershipExpiryText(membership), expiry);
        QCOMPARE(nimbra::purchase::membershipDescription(membership, true), description);
        QCOMPARE(nimbra::purchase::membershipDescription(membership, false),
                 QStringLiteral("登录后可同步订单与加速配置"));
        QCOMPARE(nimbra::purchase::membershipTitle(membership), expiry == QStringLiteral("未开通")
                                                                    ? QStringLiteral("尊享双链路加速 IP")
                                                                    : QStringLiteral("尊享会员 · 生效中"));
    }
};

QTEST_GUILESS_MAIN(TestPurchaseRecords)
#include "tst_purchaserecords.moc"
