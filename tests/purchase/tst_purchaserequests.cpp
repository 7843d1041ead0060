// The bodies of the purchase screens' requests, from what the screens hold.
#include "purchase/purchaserequests.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

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

} // namespace

class TestPurchaseRequests : public QObject
{
    Q_OBJECT

private slots:
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
};

QTEST_GUILESS_MAIN(TestPurchaseRequests)
#include "tst_purchaserequests.moc"
