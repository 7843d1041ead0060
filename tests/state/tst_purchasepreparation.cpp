// The purchase preparation: mode split, synthesised group and private products, option lists, the walk
// bounds, the settings cache, the dev service's real entry and entries built to exhaust the walks.
#include "devserviceprocess.h"
#include "state/purchaseplan.h"
#include "state/purchasepreparation.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace nimbra::purchase;

namespace {

// JSON written with single quotes, which keeps the fixtures readable inside C++ strings.
QVariantMap object(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json).replace('\'', '"')).object().toVariantMap();
}

QVariantMap modeOf(const QVariantMap &prepared, const char *mode)
{
    return prepared.value(mode).toMap();
}

QVariantList listOf(const QVariantMap &mode, const char *list)
{
    return mode.value(list).toList();
}

// "value=text" per option, which shows both at a glance.
QStringList options(const QVariantMap &mode, const char *list)
{
    QStringList result;
    for (const QVariant &option : listOf(mode, list))
        result << option.toMap().value("value").toString() + '=' + option.toMap().value("text").toString();
    return result;
}

// The text forms of `keys` joined with "|", so that one comparison shows a whole product.
QString fields(const QVariant &map, const QStringList &keys)
{
    QStringList texts;
    for (const QString &key : keys)
        texts << map.toMap().value(key).toString();
    return texts.join('|');
}

// The products as the service sent them (each plan's raw member).
QVariantList rawProducts(const QVariantMap &mode)
{
    QVariantList raws;
    for (const QVariant &plan : mode.value("products").toList())
        raws << plan.toMap().value("raw");
    return raws;
}

QVariantMap productWithKey(const QVariantMap &mode, const QString &key)
{
    for (const QVariant &product : rawProducts(mode)) {
        if (product.toMap().value("product_key") == key)
            return product.toMap();
    }
    return {};
}

// `levels` single-member maps around `inner`.
QVariant wrapped(QVariant inner, int levels)
{
    for (int i = 0; i < levels; ++i)
        inner = QVariantMap{{"w", inner}};
    return inner;
}

const QVariantList kCatalogue = {
    QVariantMap{{"id", "lol"}, {"name", "英雄联盟"}, {"package_name", "com.tencent.lol"}},
    QVariantMap{{"id", 7}, {"title", "无包名"}},
};

} // namespace

class TestPurchasePreparation : public QObject
{
    Q_OBJECT

private slots:
    void modeSplitAndWholeEntry()
    {
        const QVariantMap split = preparePurchaseData(
            object("{'shared': {'products': [{'id': 1, 'name': '月卡'}]}, 'exclusive': {'plans': [{'id': 2, "
                   "'price': 9}]}, 'pintuan': [{'id': 3, 'name': '团', 'price': 5}]}"),
            {});
        QCOMPARE(rawProducts(modeOf(split, "shared")), QVariantList{object("{'id': 1, 'name': '月卡'}")});
        QCOMPARE(rawProducts(modeOf(split, "private")), QVariantList{object("{'id': 2, 'price': 9}")});
        QCOMPARE(fields(rawProducts(modeOf(split, "group")).value(0), {"id"}), QString("3"));

        // Without mode members every mode searches the whole entry.
        const QVariantMap whole =
            preparePurchaseData(object("{'list': [{'plan_id': 9, 'title': 'x'}], 'team_sizes': [3]}"), {});
        for (const char *mode : {"shared", "private", "group"}) {
            QCOMPARE(rawProducts(modeOf(whole, mode)).size(), 1);
            QCOMPARE(options(modeOf(whole, mode), "teamOptions"), QStringList{"3=3"});
        }
        // Identity alone is no product, nor a name with a null price.
        QVERIFY(!looksLikeProduct(object("{'id': 1}")));
        QVERIFY(!looksLikeProduct(object("{'name': 'x', 'price': null}")));
    }

    void groupPriceMap()
    {
        const QVariantMap group = modeOf(
            preparePurchaseData(
                object(
                    "{'group': {'price_map': {'1_guofu_5': {'price': 9}, 'datacenter__hanfu': {'price': 8}, "
                    "'7_Mars_x': {'name': '自带', 'node_type_id': 70}, 'bad': 5}, 'node_types': [{}, "
                    "{'node_type_id': 1, 'node_type_key': 'datacenter', 'node_type_name': '数据中心'}]}}"),
                {}),
            "group");
        QCOMPARE(rawProducts(group).size(), 3);
        const QStringList keys{"name",         "description",  "member_count", "region_key",
                               "product_type", "node_type_id", "node_type_key"};
        QCOMPARE(fields(productWithKey(group, "1_guofu_5"), keys),
                 QString("数据中心 · 国服 · 5人|多人拼团 · 国服 · 5人|5|guofu|group|1|datacenter"));
        // Matched by the node type key; no count part, no count text.
        QCOMPARE(fields(productWithKey(group, "datacenter__hanfu"), keys),
                 QString("数据中心 · 韩服|多人拼团 · 韩服||hanfu|group|1|datacenter"));
        // Unknown node type and region: defaults; its own name and node type id are kept.
        QCOMPARE(fields(productWithKey(group, "7_Mars_x"), keys),
                 QString("自带|多人拼团 · Mars||Mars|group|70|7"));
        QCOMPARE(groupRegionName(" INTERNATIONAL "), QString("国际服"));
        QCOMPARE(groupRegionName(" Mars "), QString(" Mars "));
    }

    void privateProductsAndRegions()
    {
        const QVariantMap prepared = preparePurchaseData(
            object(
                "{'private': {'duration_days': 90, 'node_types': [{'node_type_id': 1, 'node_type_key': 'dc', "
                "'node_type_name': '数据中心', 'price': 39}, {'node_type_id': 2, 'node_type_key': 'res', "
                "'node_type_name': '住宅', 'duration_days': 30, 'regions': [{'region_key': 'hk', "
                "'region_name': '香港'}, {'id': 7, 'code': 'kr'}, {}]}, {'node_type_id': 3, 'regions': "
                "[{'region_key': 'hk', 'node_type_id': 9}, {'region_id': 8}, {'region_key': ''}]}]}}"),
            {});
        const QVariantMap mode = modeOf(prepared, "private");
        const QVariantList products = rawProducts(mode);
        QCOMPARE(products.size(), 6);
        const QStringList keys{"name", "description", "product_type", "days", "node_type_id", "region_key"};
        QCOMPARE(fields(products.at(0), keys),
                 QString("数据中心 · 默认区服|一人一址 · 数据中心 · 默认区服|private|90|1|"));
        QCOMPARE(fields(products.at(1), keys), QString("住宅 · 香港|一人一址 · 住宅 · 香港|private|30|2|hk"));
        QCOMPARE(fields(products.at(2), {"name", "region_id", "region_key"}),
                 QString("住宅 · 默认区服|7|kr"));
        // A region's own node type id is kept in the product.
        QCOMPARE(fields(products.at(3), {"node_type_id"}), QString("9"));

        // Each region key once, with the first node type's ids; a region without a key is left out.
        QCOMPARE(options(mode, "regionOptions"), (QStringList{"hk=香港", "8=8"}));
        const QVariantList regions = listOf(mode, "regionOptions");
        QCOMPARE(fields(regions.at(0).toMap().value("raw"), {"node_type_id", "node_type_key"}),
                 QString("2|res"));
        QCOMPARE(fields(regions.at(1).toMap().value("raw"), {"node_type_id"}), QString("3"));
        QVERIFY(!regions.at(1).toMap().value("raw").toMap().contains("node_type_key"));
        // IP types from the node types: the key, else the id.
        QCOMPARE(options(mode, "ipOptions"), (QStringList{"dc=数据中心", "res=住宅", "3=3"}));
    }

    void optionLists()
    {
        const QVariantMap group = modeOf(
            preparePurchaseData(object("{'group': {'ip_types': {'residential': '住宅 IP', 'dc': {'label': "
                                       "'机房'}, 'x': {'code': 'c1', 'name': 'C'}}, 'extra': {'team_sizes': "
                                       "[5, 10, null, '', [1]]}, 'price_map': {'1_rifu_5': {'price': 1, "
                                       "'regions': ['own']}}, 'regions': ['shared']}}"),
                                {}),
            "group");
        QCOMPARE(options(group, "ipOptions"), (QStringList{"dc=机房", "residential=住宅 IP", "c1=C"}));
        QCOMPARE(listOf(group, "ipOptions").at(1).toMap().value("raw"),
                 QVariant(QVariantMap{{"label", "住宅 IP"}, {"value", "residential"}}));
        QCOMPARE(options(group, "teamOptions"), (QStringList{"5=5", "10=10"}));
        QVERIFY(!listOf(group, "teamOptions").at(0).toMap().contains("raw"));
        // The current product is searched before the mode value.
        QCOMPARE(options(group, "regionOptions"), QStringList{"own=own"});
    }

    void catalogueFallbackForGroupGames()
    {
        const QVariantMap prepared =
            preparePurchaseData(object("{'group': {'team_sizes': [5]}}"), kCatalogue);
        QCOMPARE(options(modeOf(prepared, "group"), "gameOptions"),
                 (QStringList{"com.tencent.lol=英雄联盟", "7=无包名"}));
        QCOMPARE(listOf(modeOf(prepared, "group"), "gameOptions").at(0).toMap().value("raw"),
                 kCatalogue.at(0));
        // A game list in the entry wins over the catalogue.
        const QVariantMap own = preparePurchaseData(
            object("{'group': {'available_games': [{'game_id': 5001, 'name': 'A'}]}}"), kCatalogue);
        QCOMPARE(options(modeOf(own, "group"), "gameOptions"), QStringList{"5001=A"});
        // The order request's game members: game_id before id, the package name trimmed.
        const QStringList gameKeys{"packageName", "gameId"};
        QCOMPARE(fields(listOf(modeOf(prepared, "group"), "gameOptions").at(0), gameKeys),
                 QString("com.tencent.lol|lol"));
        const QVariantMap both =
            preparePurchaseData(object("{'group': {'games': [{'game_id': '', 'id': 9, 'package_name': ' "
                                       "com.a ', 'node_type_id': 2}]}}"),
                                {});
        const QVariantMap option = listOf(modeOf(both, "group"), "gameOptions").at(0).toMap();
        QCOMPARE(fields(option, gameKeys), QString("com.a|9"));
        QCOMPARE(option.value("ids"),
                 QVariant(QVariantMap{{"node_type_id", option.value("raw").toMap().value("node_type_id")}}));
    }

    void walkBounds()
    {
        QVariantList plans, sizes;
        QVariantMap priceMap;
        for (int i = 0; i < 200; ++i) {
            plans << QVariantMap{{"id", i}, {"name", "p"}};
            sizes << i + 1;
            priceMap.insert(QStringLiteral("1_guofu_%1").arg(i + 1000), QVariantMap{{"price", i}});
        }
        QVariantMap entry{{"shared", QVariantMap{{"products", plans}, {"team_sizes", sizes}}},
                          {"group", QVariantMap{{"price_map", priceMap}}}};
        QVariantMap prepared = preparePurchaseData(entry, {});
        QCOMPARE(rawProducts(modeOf(prepared, "shared")).size(), kMaxProducts);
        QCOMPARE(fields(rawProducts(modeOf(prepared, "shared")).at(63), {"id"}), QString("63"));
        QCOMPARE(listOf(modeOf(prepared, "shared"), "teamOptions").size(), kMaxOptions);
        QCOMPARE(rawProducts(modeOf(prepared, "group")).size(), kMaxProducts);

        // Depth: a product seven levels below the mode value is found, eight levels below it is not;
        // an option list holder six levels below is found, seven levels below it is not.
        const QVariantMap product{{"id", 1}, {"price", 2}};
        const QVariantMap teams{{"team_sizes", QVariantList{4}}};
        for (const int levels : {6, 7, 8}) {
            entry = {{"shared", wrapped(product, levels)}, {"group", wrapped(teams, levels)}};
            prepared = preparePurchaseData(entry, {});
            QCOMPARE(rawProducts(modeOf(prepared, "shared")).size(), levels <= 7 ? 1 : 0);
            QCOMPARE(listOf(modeOf(prepared, "group"), "teamOptions").size(), levels <= 6 ? 1 : 0);
        }

        // Visits: what lies behind thousands of other nodes is not reached.
        for (const int filler : {2500, 6000}) {
            QVariantMap mode;
            for (int i = 0; i < filler; ++i)
                mode.insert(QStringLiteral("a%1").arg(i, 5, 10, QLatin1Char('0')), i);
            mode.insert("z", QVariantMap{{"plans", QVariantList{product}}, {"nested", teams}});
            prepared = preparePurchaseData({{"shared", mode}}, {});
            QCOMPARE(rawProducts(modeOf(prepared, "shared")).size(), filler < kProductVisitLimit ? 1 : 0);
            QCOMPARE(listOf(modeOf(prepared, "shared"), "teamOptions").size(),
                     filler < kOptionVisitLimit ? 1 : 0);
        }
    }

    void membershipAndSettingsCache()
    {
        QCOMPARE(extractMembership(object("{'vip': {'x': 1}, 'data': {'member': {'is_vip': true}}, 'user': "
                                          "{'vip': {'vip_num': 2}}, 'expire_at': 9}")),
                 object("{'vip_num': 2}"));
        QCOMPARE(extractMembership(object("{'active': null, 'membership': 3}")).value("active"),
                 QVariant::fromValue(nullptr));
        QVERIFY(extractMembership(object("{'user': {'is_vip': true}}")).isEmpty());

        const QVariantMap entry = object("{'shared': {'products': [{'id': 1, 'name': 'x', 'note': null}]}}");
        QCOMPARE(cachedEntryFromSettingsValue(QJsonDocument::fromVariant(entry).toJson()), entry);
        QVERIFY(cachedEntryFromSettingsValue(QString("[1]")).isEmpty());
        QVERIFY(cachedEntryFromSettingsValue(QString("{broken")).isEmpty());

        QTemporaryDir dir;
        const QString path = dir.filePath("settings.ini");
        {
            QSettings settings(path, QSettings::IniFormat);
            writeCachedPurchaseEntry(settings, entry);
        }
        QSettings settings(path, QSettings::IniFormat);
        QCOMPARE(readCachedPurchaseEntry(settings), entry);
        settings.setValue(kPublicPurchaseEntryCache,
                          QString::fromUtf8(QJsonDocument::fromVariant(entry).toJson()));
        QCOMPARE(readCachedPurchaseEntry(settings), entry);

        const QVariantMap prepared = preparePurchaseData(entry, kCatalogue);
        QCOMPARE(preparedLogLine(prepared, 3),
                 QString("[Data] 会员选项 C++ 整理完成 elapsed=3ms shared=1 private=1 group=1 groupGames=2"));
    }

    void devServiceEntry()
    {
        DevServiceProcess service;
        QVERIFY(service.isRunning());
        QNetworkAccessManager manager;
        QNetworkRequest request(QUrl(service.baseUrl() + "/api/pintuan/purchase/entry"));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        QNetworkReply *reply = manager.post(request, QByteArray("{}"));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(15000));
        const QJsonObject body = QJsonDocument::fromJson(reply->readAll()).object();
        reply->deleteLater();
        QCOMPARE(body.value("code").toInt(), 1);
        const QVariantMap entry = body.value("data").toObject().toVariantMap();

        const QVariantMap prepared = preparePurchaseData(entry, kCatalogue);
        const QVariantMap shared = modeOf(prepared, "shared");
        QCOMPARE(rawProducts(shared).size(), 5);
        QCOMPARE(listOf(shared, "ipOptions").size() + listOf(shared, "regionOptions").size(), 0);
        QCOMPARE(listOf(shared, "gameOptions").size(), kCatalogue.size());

        const QVariantMap privateMode = modeOf(prepared, "private");
        const QVariantList privateProducts = rawProducts(privateMode);
        QCOMPARE(privateProducts.size(), 56);
        QCOMPARE(fields(privateProducts.at(0), {"name", "days"}), QString("数据中心 IP · 中国香港|30"));
        QCOMPARE(options(privateMode, "ipOptions").size(), 5);
        QCOMPARE(options(privateMode, "ipOptions").at(1), QString("residential=原生住宅 IP"));
        QCOMPARE(options(privateMode, "regionOptions").size(), 20);
        QCOMPARE(options(privateMode, "regionOptions").at(0), QString("hk=中国香港"));

        const QVariantMap group = modeOf(prepared, "group");
        QCOMPARE(rawProducts(group).size(), 30);
        QCOMPARE(fields(productWithKey(group, "1_guofu_5"), {"name", "product_id"}),
                 QString("数据中心 IP · 国服 · 5人|31001"));
        QCOMPARE(options(group, "ipOptions"),
                 (QStringList{"datacenter=数据中心 IP", "residential=原生住宅 IP", "broadband=家庭宽带 IP",
                              "iplc=IPLC 专线"}));
        QCOMPARE(options(group, "regionOptions").join(','),
                 QString("guofu=国服,hanfu=韩服,rifu=日服,yazhou=亚洲服,global=国际服"));
        QCOMPARE(options(group, "teamOptions"), (QStringList{"5=5", "10=10"}));
        QCOMPARE(options(group, "gameOptions").size(), kMaxOptions);
        QCOMPARE(options(group, "gameOptions").at(0), QString("com.tencent.lol=英雄联盟"));
        QVERIFY(extractMembership(entry).isEmpty());
    }

    void pathologicalEntries()
    {
        // Thousands of nesting levels, alternating maps and lists, under every place the walks look.
        QVariant deep = QVariantMap{{"id", 1}, {"name", "deep"}, {"team_sizes", QVariantList{1}}};
        for (int i = 0; i < 3000; ++i)
            deep = (i % 2) ? QVariant(QVariantList{deep}) : QVariant(QVariantMap{{"regions", deep}});
        const QVariantMap deepMode{{"node_types", QVariantList{deep}}, {"price_map", deep}, {"x", deep}};
        QVariantMap prepared = preparePurchaseData(
            {{"shared", deepMode}, {"private", deepMode}, {"group", deepMode}, {"games", deep}}, {});
        for (const char *mode : {"shared", "private", "group"}) {
            QVERIFY(rawProducts(modeOf(prepared, mode)).isEmpty());
            QVERIFY(listOf(modeOf(prepared, mode), "teamOptions").isEmpty());
        }

        // About 5 MB of product-like maps in every list the preparation reads.
        QVariantList products, nodeTypes, games;
        QVariantMap priceMap;
        for (int i = 0; i < 5500; ++i) {
            const QVariantMap product{{"id", i},
                                      {"name", QString(40, QLatin1Char('n'))},
                                      {"price", i},
                                      {"region_key", QStringLiteral("r%1").arg(i)},
                                      {"benefits", QVariantList{QString(20, QLatin1Char('b'))}}};
            products << product;
            games << QVariantMap{{"package_name", QStringLiteral("com.g%1").arg(i)}, {"name", "g"}};
            priceMap.insert(QStringLiteral("%1_guofu_5").arg(i), product);
            nodeTypes << QVariantMap{{"node_type_id", i}, {"price", i}, {"regions", QVariantList{product}}};
        }
        const QVariantMap big{{"shared", QVariantMap{{"products", products}, {"regions", products}}},
                              {"private", QVariantMap{{"node_types", nodeTypes}}},
                              {"group", QVariantMap{{"price_map", priceMap},
                                                    {"node_types", nodeTypes},
                                                    {"regions", products},
                                                    {"available_games", games}}}};
        QVERIFY(QJsonDocument::fromVariant(big).toJson(QJsonDocument::Compact).size() > 4'500'000);
        prepared = preparePurchaseData(big, games);
        for (const char *name : {"shared", "private", "group"}) {
            QCOMPARE(rawProducts(modeOf(prepared, name)).size(), kMaxProducts);
            QCOMPARE(listOf(modeOf(prepared, name), "regionOptions").size(), kMaxOptions);
            QCOMPARE(listOf(modeOf(prepared, name), "gameOptions").size(), kMaxOptions);
        }
    }

    // One member of a plan, from the product the service sent; benefits as "title/detail" rows.
    void planMembers_data()
    {
        QTest::addColumn<QByteArray>("product");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("expected");
        const int shared = int(Mode::Shared), priv = int(Mode::Private), group = int(Mode::Group);
        const QByteArray all =
            "{'price_by_ip': {'home': 49, 'idc': ''}, 'prices': {'home': 48, 'idc': 38}, "
            "'amount': {'order_price': 30}, 'price_info': {'order_price': 29, 'price': 28}, "
            "'user_price': 27, 'price': 26}";
        const auto row = [](const char *tag, const QByteArray &product, int mode, const char *key,
                            const QVariant &expected) {
            QTest::newRow(tag) << product << mode << QString(key) << expected;
        };
        row("name after a blank one", "{'name': ' ', 'title': '月卡'}", shared, "name", "月卡");
        row("private name", "{}", priv, "name", "独享 IP 套餐");
        row("group name", "{}", group, "name", "拼团套餐");
        row("description", "{'remark': '限时'}", group, "description", "限时");
        row("group description", "{}", group, "description", "5-10 人成团 · 更低价");
        // The unit names the plan's whole period: the price is its total.
        const std::pair<const char *, const char *> units[] = {
            {"{'days': 7}", "/周"},
            {"{'duration_days': 30}", "/月"},
            {"{'days': '31'}", "/月"},
            {"{'days': 90}", "/季"},
            {"{'valid_days': 92}", "/季"},
            {"{'days': 180}", "/半年"},
            {"{'days': 183}", "/半年"},
            {"{'days': 365}", "/年"},
            {"{'days': 366}", "/年"},
            {"{'days': 299}", "/299天"},
            {"{'days': 1}", "/1天"},
            {"{'days': 14}", "/14天"},
            {"{'days': 0}", ""},
            {"{'days': 30.5}", ""},
            {"{}", ""},
            {"{'days': 'soon'}", ""},
            {"{'days': 30, 'price_unit': '/季'}", "/季"},
            {"{'valid_days': 7, 'days': 30}", "/周"},
        };
        for (const auto &[product, unit] : units)
            row((QByteArray("unit of ") + product).constData(), product, shared, "unit",
                QString::fromUtf8(unit));
        row("flag", "{'tag': '热卖', 'promotion': ''}", shared, "flag", "热卖");
        row("unavailable", "{'available': false, 'description': '售罄'}", shared, "available", false);
        row("unavailable text", "{'enabled': false}", shared, "unavailableText", "当前商品暂不可购买");
        row("prices by IP type", all, shared, "pricesByIp", object("{'home': 4900, 'idc': 3800}"));
        row("prices by IP type shown", "{'prices': {'home': 48.5}}", shared, "priceTextsByIp",
            object("{'home': '48.5'}"));
        row("order amount", all, shared, "priceFen", 3000LL);
        row("price info", "{'price_info': {'order_price': 29, 'price': 28}, 'price': 26}", shared, "priceFen",
            2900LL);
        row("price info price", "{'price_info': {'price': 28}, 'price': 26}", shared, "priceFen", 2800LL);
        row("user price first", "{'price': 26, 'user_price': '19.9'}", shared, "priceFen", 1990LL);
        row("user price shown", "{'price': 26, 'user_price': '19.9'}", shared, "priceText", "19.9");
        row("plain amount", "{'amount': 15}", shared, "priceFen", 1500LL);
        row("not numeric", "{'price': 'free'}", shared, "priceFen", 0LL);
        row("team size", "{'member_count': '', 'team_size': '5'}", group, "memberCount", 5.0);
        row("node type id", "{'node_type_key': '', 'node_type_id': 7}", group, "nodeType", "7");
        row("IP type", "{'ip_type': 'home'}", group, "ipType", "home");
        row("region id", "{'region_id': 4, 'region_name': ' 广州 '}", priv, "region", "4");
        row("ids", "{'node_type_id': 1, 'region_key': 'sh', 'region_id': null}", priv, "ids",
            object("{'node_type_id': 1, 'region_key': 'sh'}"));
        row("code only", "{'product_code': 'm1', 'name': '月卡'}", shared, "payload",
            object("{'product_code': 'm1'}"));
        row("plan id", "{'plan_id': 3}", shared, "payload", object("{'plan_id': 3, 'product_id': 3}"));
        row("JSON text source", R"({'create_payload': '{\'sku\':\'x\',\'days\':30}', 'days': 90, 'id': 5})",
            shared, "payload", object("{'sku': 'x', 'days': 30, 'id': 5, 'product_id': 5}"));
        row("unparsable source", "{'create_payload': '{sku', 'plan_code': 'p', 'region': ''}", shared,
            "payload", object("{'plan_code': 'p'}"));
        row("source keeps its product id",
            "{'order_payload': {'product_id': 8}, 'product_id': 2, 'type': 'vip'}", shared, "payload",
            object("{'product_id': 8, 'type': 'vip'}"));
        row("nothing to order", "{'name': '月卡', 'price': 30}", shared, "payload", QVariantMap());
        row("benefit sources, capped at six",
            "{'benefits': [{'title': '双链路', 'desc': '主备切换'}, '专线；防丢包', {'items': ['多端']}], "
            "'features': '低延迟 | 高带宽\\n不限速'}",
            shared, "benefits", QStringList{"双链路/主备切换", "专线", "防丢包", "多端", "低延迟", "高带宽"});
        row("benefits once each",
            "{'rights': [' 专线 ', {'text': '专线'}, {'note': '专线'}], "
            "'highlights': {'流量': '100G', '设备': 3}}",
            shared, "benefits", QStringList{"专线", "流量/100G", "设备/3", "节点类型/共享节点"});
        row("private benefits", "{}", priv, "benefits",
            QStringList{"节点类型/独享节点", "地址分配/一人一址"});
        row("fixed benefit rows",
            "{'period_text': '30 天', 'days': 30, 'max_devices': 2, 'limit_count': 1, 'is_auto_renew': "
            "false}",
            group, "benefits",
            QStringList{"有效期/30 天", "有效期/30天", "设备数量/2台", "购买限制/每人限购1次",
                        "续费方式/到期不自动续费", "节点类型/独享节点"});
        row("group size benefit", "{'team_size': '5', 'node_text': ''}", group, "benefits",
            QStringList{"节点类型/独享节点", "成团方式/多人拼团", "成团人数/5人"});
    }

    void planMembers()
    {
        QFETCH(QByteArray, product);
        QFETCH(int, mode);
        QFETCH(QString, key);
        QFETCH(QVariant, expected);
        const QVariant actual = preparePlan(object(product.constData()), Mode(mode)).value(key);
        if (key == "benefits") {
            QStringList rows;
            for (const QVariant &benefit : actual.toList()) {
                const QVariantMap b = benefit.toMap();
                const QString detail = b.value("detail").toString();
                rows << (detail.isEmpty() ? b.value("title").toString()
                                          : b.value("title").toString() + '/' + detail);
            }
            QCOMPARE(rows, expected.toStringList());
        } else if (expected.typeId() == QMetaType::Double) {
            QCOMPARE(actual.toDouble(), expected.toDouble());
        } else {
            QCOMPARE(actual, expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestPurchasePreparation)
#include "tst_purchasepreparation.moc"
