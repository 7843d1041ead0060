// The membership page's choice and group buying without a service: the plan lists and defaults of each
// mode, the pay bar, the checks before an order, and the group detail's wait for a leader team's code.
// Orders against the dev service are tst_rechargeview's.
#include "purchase/groupdetail.h"
#include "purchase/grouppurchase.h"
#include "purchase/leadercentre.h"
#include "purchase/purchaseselection.h"
#include "purchase/rechargeapi.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QVariantMap plan(const QString &name, qint64 fen, const QVariantMap &more = {})
{
    QVariantMap result{{"name", name},
                       {"priceFen", fen},
                       {"priceText", QString::number(fen / 100.0)},
                       {"payload", QVariantMap{{"product_id", 1}}}};
    result.insert(more);
    return result;
}

QVariantList values(const QVariantList &items, const char *key)
{
    QVariantList result;
    for (const QVariant &item : items)
        result << item.toMap().value(QString::fromLatin1(key));
    return result;
}

// Prepared data as state/purchasepreparation makes it, small.
QVariantMap prepared()
{
    const QVariantList privatePlans{
        plan("住宅 · 上海", 4950, {{"nodeType", "home"}, {"region", "sh"}, {"regionName", "上海"}}),
        plan("住宅 · 广州", 4950, {{"nodeType", "home"}, {"region", "gz"}, {"regionName", "广州"}}),
        plan("机房 · 香港", 2600, {{"nodeType", "idc"}, {"region", "hk"}, {"regionName", "香港"}})};
    const QVariantList groupPlans{plan("五人 · 宽带", 1990, {{"memberCount", 5}, {"ipType", "home"}}),
                                  plan("十人 · 宽带", 1690, {{"memberCount", 10}, {"ipType", "home"}}),
                                  plan("五人 · 机房", 1590, {{"memberCount", 5}, {"ipType", "idc"}})};
    const QVariantList ips{QVariantMap{{"value", "home"}, {"text", "宽带"}},
                           QVariantMap{{"value", "idc"}, {"text", "机房"}}};
    return {{"shared", QVariantMap{{"products", QVariantList{plan("月卡", 3000, {{"flag", "热卖"}}),
                                                             plan("周卡", 990,
                                                                  {{"available", false},
                                                                   {"unavailableText", "周卡已售罄"}})}}}},
            {"private",
             QVariantMap{{"products", privatePlans},
                         {"ipOptions", ips},
                         {"regionOptions", QVariantList{QVariantMap{{"value", "gz"}, {"text", "广州"}}}}}},
            {"group",
             QVariantMap{{"products", groupPlans},
                         {"ipOptions", ips},
                         {"teamOptions", QVariantList{QVariantMap{{"value", "5"}, {"text", "5人"}},
                                                      QVariantMap{{"value", "10"}, {"text", "10人"}}}}}}};
}

// The leader entry as normalizeLeaderEntry hands it over.
QVariantMap leaderEntry()
{
    const auto region = [](const char *value, const char *text, const char *key) {
        return QVariantMap{{"value", value}, {"text", text}, {"region_key", key}};
    };
    return {
        {"is_leader", true},
        {"node_types", QVariantList{QVariantMap{{"value", "1"},
                                                {"node_type_id", 1},
                                                {"regions", QVariantList{region("1", "国服", "guofu")}}},
                                    QVariantMap{{"value", "2"},
                                                {"node_type_id", 2},
                                                {"regions", QVariantList{region("2", "韩服", "hanfu"),
                                                                         region("1", "国服", "guofu")}}}}},
        {"member_counts", QVariantList{QVariantMap{{"value", "5"}}, QVariantMap{{"value", "10"}}}},
        {"price_map", QVariantMap{{"2_guofu_5", QVariantMap{{"product_id", 41009}}}}}};
}

struct Client
{
    Client()
    {
        api.selection()->setPrepared(prepared());
        api.selection()->reset();
        QCoreApplication::processEvents();
    }
    void signIn() { api.setSession(7, QStringLiteral("secret"), QStringLiteral("device")); }
    // Runs a script of choices: "mode:private ip:idc region:sh plan:1 size:10 game:x agreed method:leader".
    void choose(const QString &script)
    {
        PurchaseSelection *s = api.selection();
        for (const QString &step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString key = step.section(QLatin1Char(':'), 0, 0);
            const QString value = step.section(QLatin1Char(':'), 1);
            if (key == QLatin1String("mode"))
                s->selectMode(value);
            else if (key == QLatin1String("ip"))
                s->mode() == QLatin1String("group") ? s->selectGroupIpType(value)
                                                    : s->selectPrivateIpType(value);
            else if (key == QLatin1String("region"))
                s->selectPrivateRegion(value);
            else if (key == QLatin1String("plan"))
                s->selectPlan(value.toInt());
            else if (key == QLatin1String("size"))
                s->selectTeamSize(value);
            else if (key == QLatin1String("game"))
                s->selectGame(value);
            else if (key == QLatin1String("agreed"))
                s->setAgreed(true);
            else if (key == QLatin1String("method"))
                s->setGroupMethod(value);
            // Default choices follow on the next turn.
            QCoreApplication::processEvents();
        }
    }

    RechargeApi api;
};

} // namespace

class TestPurchaseSelection : public QObject
{
    Q_OBJECT

private slots:
    // What a series of choices leaves chosen, offered and shown on the pay bar.
    void choices_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QVariantList>("offered");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("total");
        QTest::addColumn<qint64>("fen");
        QTest::newRow("shared, flagged plan") << ""
                                              << "0 - - 0" << QVariantList{"月卡", "周卡"} << "热卖"
                                              << "¥30" << qint64(3000);
        QTest::newRow("sold-out plan not taken") << "plan:1"
                                                 << "0 - - 0" << QVariantList{"月卡", "周卡"} << "热卖"
                                                 << "¥30" << qint64(3000);
        // The region of the options is not served by the first IP type: its first served one is taken.
        QTest::newRow("private defaults")
            << "mode:private"
            << "0 home sh 0" << QVariantList{"住宅 · 上海", "住宅 · 广州", "机房 · 香港"}
            << "已选 住宅 · 上海"
            << "¥49.5" << qint64(4950);
        QTest::newRow("private ip type moves region")
            << "mode:private ip:idc"
            << "2 idc hk 0" << QVariantList{"住宅 · 上海", "住宅 · 广州", "机房 · 香港"} << "已选 机房 · 香港"
            << "¥26" << qint64(2600);
        QTest::newRow("private plan sets options")
            << "mode:private plan:1"
            << "1 home gz 0" << QVariantList{"住宅 · 上海", "住宅 · 广州", "机房 · 香港"}
            << "已选 住宅 · 广州"
            << "¥49.5" << qint64(4950);
        QTest::newRow("group by size and ip")
            << "mode:group"
            << "0 home - 5" << QVariantList{"五人 · 宽带"} << "已选 五人 · 宽带"
            << "¥19.9" << qint64(1990);
        QTest::newRow("group ip type") << "mode:group ip:idc"
                                       << "0 idc - 5" << QVariantList{"五人 · 机房"} << "已选 五人 · 机房"
                                       << "¥15.9" << qint64(1590);
        QTest::newRow("group size without plans") << "mode:group size:10 ip:idc"
                                                  << "0 idc - 10" << QVariantList{} << "请选择套餐"
                                                  << "—" << qint64(0);
        QTest::newRow("leader without team") << "mode:group method:leader"
                                             << "0 home - 5" << QVariantList{"五人 · 宽带"} << "请先查询拼团"
                                             << "—" << qint64(1990);
        QTest::newRow("leader back to normal")
            << "mode:group method:leader method:normal"
            << "0 home - 5" << QVariantList{"五人 · 宽带"} << "已选 五人 · 宽带"
            << "¥19.9" << qint64(1990);
    }
    void choices()
    {
        QFETCH(QString, script);
        QFETCH(QString, chosen);
        QFETCH(QVariantList, offered);
        QFETCH(QString, caption);
        QFETCH(QString, total);
        QFETCH(qint64, fen);
        Client c;
        c.choose(script);
        const PurchaseSelection *s = c.api.selection();
        const auto shown = [](const QString &text) {
            return text.isEmpty() ? QStringLiteral("-") : text;
        };
        QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                     .arg(s->planIndex())
                     .arg(shown(s->ipType()), shown(s->region()))
                     .arg(s->teamSize()),
                 chosen);
        QCOMPARE(values(s->currentProducts(), "name"), offered);
        QCOMPARE(s->caption(), caption);
        QCOMPARE(s->totalText(), total);
        QCOMPARE(s->priceFen(), fen);
    }

    // What "立即支付" says instead of ordering; the order itself is tst_rechargeview's.
    void payRefusals_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("notice");
        QTest::newRow("signed out") << false << "agreed"
                                    << "请先登录后再购买";
        QTest::newRow("not agreed") << true << ""
                                    << "请先阅读并同意《服务协议》与《购买须知》";
        QTest::newRow("sold out") << true << "agreed"
                                  << "";
        QTest::newRow("no plans") << true << "mode:group size:10 ip:idc agreed"
                                  << "当前购买方式暂无可用商品";
        QTest::newRow("group without game") << true << "mode:group agreed"
                                            << "请选择要加速的游戏";
        QTest::newRow("leader, not agreed") << true << "mode:group method:leader"
                                            << "请先阅读并同意《服务协议》与《购买须知》";
        QTest::newRow("leader without team") << true << "mode:group method:leader agreed"
                                             << "请输入团码并查询拼团";
    }
    void payRefusals()
    {
        QFETCH(bool, signedIn);
        QFETCH(QString, script);
        QFETCH(QString, notice);
        Client c;
        if (signedIn)
            c.signIn();
        // The sold-out row picks its plan on the service's data directly: selectPlan refuses it.
        if (QTest::currentDataTag() == QByteArray("sold out"))
            c.api.selection()->setPrepared(
                {{"shared",
                  QVariantMap{{"products", QVariantList{plan("周卡", 990,
                                                             {{"available", false},
                                                              {"unavailableText", "周卡已售罄"}})}}}}});
        c.choose(script);
        QSignalSpy notices(c.api.selection(), &PurchaseSelection::notice);
        QSignalSpy groupNotices(c.api.groups(), &GroupPurchase::notice);
        QSignalSpy signIn(c.api.selection(), &PurchaseSelection::signInRequested);
        c.api.selection()->pay();
        const QString expected = notice.isEmpty() ? QStringLiteral("周卡已售罄") : notice;
        const QVariantList said = notices.isEmpty() ? groupNotices.value(0) : notices.value(0);
        QCOMPARE(said.value(0).toString(), expected);
        QCOMPARE(signIn.size(), signedIn ? 0 : 1);
        QVERIFY(!c.api.payment()->creating());
    }

    // Rules over team records as the client hands them over.
    void teamRules_data()
    {
        QTest::addColumn<QVariantMap>("team");
        QTest::addColumn<QVariantMap>("group");
        QTest::addColumn<QVariantMap>("order");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("code");
        QTest::newRow("nothing") << QVariantMap{} << QVariantMap{} << QVariantMap{} << "normal"
                                 << "";
        QTest::newRow("team first") << QVariantMap{{"team_type", "Leader"}, {"team_code", ""}}
                                    << QVariantMap{{"team_type", "normal"}, {"team_code", "G1"}}
                                    << QVariantMap{} << "leader"
                                    << "G1";
        QTest::newRow("order's group last")
            << QVariantMap{} << QVariantMap{}
            << QVariantMap{{"group", QVariantMap{{"team_type", "leader"}, {"team_code", " K7 "}}}} << "leader"
            << "K7";
    }
    void teamRules()
    {
        QFETCH(QVariantMap, team);
        QFETCH(QVariantMap, group);
        QFETCH(QVariantMap, order);
        QFETCH(QString, type);
        QFETCH(QString, code);
        QCOMPARE(GroupPurchase::teamType(team, group, order), type);
        QCOMPARE(GroupPurchase::knownTeamCode(team, group, order), code);
    }

    void ownTeamId_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<qint64>("id");
        QTest::newRow("lower case, blanks") << "  k7m2qx " << qint64(7001);
        QTest::newRow("own code stored in lower case") << "ABC234" << qint64(7002);
        QTest::newRow("foreign") << "ZZZZ99" << qint64(0);
        QTest::newRow("own team without id") << "noid22" << qint64(0);
        QTest::newRow("empty") << "  " << qint64(0);
    }
    void ownTeamId()
    {
        QFETCH(QString, code);
        QFETCH(qint64, id);
        const QVariantList teams{QVariantMap{{"team_id", 7001}, {"team_code", "K7M2QX"}},
                                 QVariantMap{{"team_id", "7002"}, {"team_code", " abc234 "}},
                                 QVariantMap{{"team_code", "NOID22"}}};
        QCOMPARE(GroupPurchase::ownTeamId(teams, code), id);
    }

    // A leader team's code is issued after the team: the open detail asks again until it has one.
    void codePolling_data()
    {
        QTest::addColumn<QVariantMap>("group");
        QTest::addColumn<QVariantMap>("order");
        QTest::addColumn<bool>("polls");
        const QVariantMap leaderNoCode{{"team", QVariantMap{{"team_type", "leader"}, {"team_code", ""}}}};
        QTest::newRow("leader team without code") << leaderNoCode << QVariantMap{} << true;
        QTest::newRow("leader only on the order's group")
            << QVariantMap{} << QVariantMap{{"group", QVariantMap{{"team_type", "LEADER"}}}} << true;
        QTest::newRow("code arrived")
            << QVariantMap{{"team", QVariantMap{{"team_type", "leader"}, {"team_code", "K7M2QX"}}}}
            << QVariantMap{} << false;
        QTest::newRow("code on the order") << leaderNoCode << QVariantMap{{"team_code", "K7M2QX"}} << false;
        QTest::newRow("normal team") << QVariantMap{{"team", QVariantMap{{"team_id", 3}}}} << QVariantMap{}
                                     << false;
    }
    void codePolling()
    {
        QFETCH(QVariantMap, group);
        QFETCH(QVariantMap, order);
        QFETCH(bool, polls);
        Client c;
        GroupPurchase *groups = c.api.groups();
        order.insert({{"order_id", 41}, {"is_group", true}, {"team_id", 3}});
        groups->setOrders({order});
        groups->setGroup(group);
        // Without a transport the detail's request fails at once and the detail stays idle.
        groups->refreshGroupDetail(groups->groupOrders().first().toMap());
        QCOMPARE(groups->detailOrderId(), qint64(41));
        QVERIFY(groups->detailOpened() && !groups->detailLoading());
        QCOMPARE(groups->pollingCode(), polls);
        groups->setDetailOpened(false);
        QVERIFY(!groups->pollingCode());
    }

    // The session's end closes the dialogs and forgets the code; a seat's price counts only for the
    // team of the code asked for.
    void leaderTeamEndsWithSession()
    {
        Client c;
        c.signIn();
        GroupPurchase *groups = c.api.groups();
        groups->setLeaderTeam({{"team_code", "K7M2QX"}, {"price_fen", 2390}, {"price_text", "23.9"}});
        QCOMPARE(groups->leaderPriceFen(), qint64(0));
        groups->queryLeaderTeam(QStringLiteral(" k7m2qx"));
        QCOMPARE(groups->leaderTeamCode(), QStringLiteral("K7M2QX"));
        c.choose(QStringLiteral("mode:group method:leader"));
        QCOMPARE(c.api.selection()->caption(), QStringLiteral("已选团长团席位"));
        QCOMPARE(c.api.selection()->totalText(), QStringLiteral("¥23.9"));
        QCOMPARE(c.api.selection()->priceFen(), qint64(2390));
        QSignalSpy notices(groups, &GroupPurchase::notice);
        groups->createSeatOrder();
        QCOMPARE(notices.value(0).value(0).toString(), QStringLiteral("请选择要加速的游戏"));
        // Another code whose lookup has not answered: the team shown is no longer the one asked for.
        groups->queryLeaderTeam(QStringLiteral("zzzz99"));
        QCOMPARE(c.api.selection()->caption(), QStringLiteral("请先查询拼团"));
        groups->queryLeaderTeam(QStringLiteral("K7M2QX"));
        groups->openLeaderCenter();
        QVERIFY(groups->leaderOpened());
        c.api.clearSession();
        QVERIFY(!groups->leaderOpened() && groups->leaderTeamCode().isEmpty());
        QCOMPARE(c.api.selection()->caption(), QStringLiteral("请先查询拼团"));
    }

    // "我的拼团" without a group order picks the first order with an id once the list arrives; the
    // client's own look-up after an order list does not open the detail.
    void detailSelectsAnOrderByItself()
    {
        Client c;
        c.signIn();
        GroupPurchase *groups = c.api.groups();
        emit c.api.groupDetailLoaded({{"team", QVariantMap{{"team_id", 3}}}}, 0);
        QVERIFY(!groups->detailOpened());
        groups->openMyGroups();
        QVERIFY(groups->detailOpened() && groups->detailOrderId() == 0);
        const QVariantList orders{QVariantMap{{"order_id", 0}},
                                  QVariantMap{{"order_id", 26000001}, {"product_type", "shared"}}};
        groups->setOrders(orders);
        emit c.api.ordersLoaded(orders, 1, 20, 2, false, 0);
        QTRY_COMPARE(groups->detailOrderId(), qint64(26000001));
        QCOMPARE(groups->selectedOrder(), orders.at(1).toMap());
    }

    // The centre's choices follow its entry: what is no longer offered falls back to the first, an unset
    // size to the first, and a non-leader cannot stay on "create".
    void leaderCentreChoices_data()
    {
        QTest::addColumn<QVariantMap>("entry");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("first time") << leaderEntry() << QStringList{"create", "", "", "0"} << "create 1 1 5";
        QTest::newRow("kept") << leaderEntry() << QStringList{"teams", "2", "1", "10"} << "teams 2 1 10";
        QTest::newRow("region gone") << leaderEntry() << QStringList{"create", "1", "2", "5"}
                                     << "create 1 1 5";
        QTest::newRow("non-leader") << QVariantMap{{"is_leader", false}}
                                    << QStringList{"create", "2", "", "0"} << "join - - 0";
    }
    void leaderCentreChoices()
    {
        QFETCH(QVariantMap, entry);
        QFETCH(QStringList, before);
        QFETCH(QString, after);
        LeaderCentre centre;
        centre.selectSection(before.at(0));
        centre.selectLine(before.at(1));
        centre.setRegion(before.at(2));
        centre.setSize(before.at(3).toInt());
        centre.setEntry(entry);
        const auto shown = [](const QString &text) {
            return text.isEmpty() ? QStringLiteral("-") : text;
        };
        QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                     .arg(centre.section(), shown(centre.line()), shown(centre.region()))
                     .arg(centre.size()),
                 after);
    }

    // What the centre says instead of asking, and what an answer changes while it is open.
    void leaderCentreFlow()
    {
        Client c;
        c.signIn();
        LeaderCentre *centre = c.api.groups()->centre();
        QSignalSpy notices(centre, &LeaderCentre::notice);
        const auto said = [&notices] {
            return notices.isEmpty() ? QString() : notices.last().value(0).toString();
        };
        centre->setEntry({{"is_leader", false}});
        centre->createTeam();
        QCOMPARE(said(), QStringLiteral("当前账号暂未开通团长资格"));
        centre->setEntry(leaderEntry());
        c.api.groups()->openLeaderCenter();
        QVERIFY(centre->opened() && c.api.groups()->leaderOpened());
        centre->selectLine(QStringLiteral("2"));
        centre->setRegion(QStringLiteral("1"));
        centre->setSize(10);
        centre->createTeam();
        QCOMPARE(said(), QStringLiteral("请选择有效的线路、人数和地区组合"));

        centre->joinTeam();
        QCOMPARE(said(), QStringLiteral("请先查询团长团"));
        centre->queryTeam(QStringLiteral(" k7m2qx "));
        QCOMPARE(centre->teamCode(), QStringLiteral("k7m2qx"));
        centre->setTeam({{"team_code", "K7M2QX"}});
        QVERIFY(centre->found());
        centre->joinTeam();
        QCOMPARE(said(), QStringLiteral("请选择可用游戏"));

        emit c.api.leaderTeamCreated({{"team_code", "NEW234"}}, 0);
        QCOMPARE(centre->section() + QLatin1Char(' ') + centre->teamCode(), QStringLiteral("teams NEW234"));
        QCOMPARE(said(), QStringLiteral("团长团创建成功"));
        // The seat's payment takes over from the centre; the session's end forgets the code.
        emit c.api.orderCreated(QStringLiteral("leader_join"), {}, 0);
        QVERIFY(!centre->opened());
        c.api.clearSession();
        QVERIFY(centre->teamCode().isEmpty());
    }

    // The detail's texts come from the first of the team, the group, the order and its group that has them.
    void groupDetail_data()
    {
        QTest::addColumn<QVariantMap>("group");
        QTest::addColumn<QVariantMap>("order");
        QTest::addColumn<QString>("shown");
        const QVariantMap paid{{"order_id", 1}, {"payment_status", "paid"}, {"game_name", "CS2"}};
        const QVariantMap member{{"nickname", "Kyo"}, {"status", "pending"}};
        QTest::newRow("nothing") << QVariantMap{} << QVariantMap{} << "组团中|0 人|拼团编号 —|";
        QTest::newRow("team") << QVariantMap{{"team", QVariantMap{{"team_id", 7},
                                                                  {"status_label", "Formed"},
                                                                  {"paid_member_count", 3},
                                                                  {"member_count", 5},
                                                                  {"members", QVariantList{member}}}}}
                              << QVariantMap{} << "已成团|3 / 5 人|拼团编号 #7|Kyo · 待分配游戏 待支付";
        QTest::newRow("group status")
            << QVariantMap{{"group_status", "waiting"}} << QVariantMap{} << "组团中|0 人|拼团编号 —|";
        QTest::newRow("order's group") << QVariantMap{}
                                       << QVariantMap{{"order_status", "pending_activation"},
                                                      {"group", QVariantMap{{"status", "expired"},
                                                                            {"paid_member_count", 4},
                                                                            {"member_count", 5}}}}
                                       << "已结束|4 / 5 人|拼团编号 —|我 · 已选游戏 已支付";
        QTest::newRow("paid, nothing known")
            << QVariantMap{} << paid << "组团中|1 人|拼团编号 —|我 · CS2 已支付";
        QTest::newRow("people's text, unknown code")
            << QVariantMap{{"team",
                            QVariantMap{{"status_label", "还差 2 人"},
                                        {"members", QVariantList{QVariantMap{{"status", "locked"}}}}}}}
            << QVariantMap{} << "还差 2 人|1 人|拼团编号 —|团员 · 待分配游戏 处理中";
        QTest::newRow("leader without code") << QVariantMap{{"team", QVariantMap{{"team_type", "Leader"}}}}
                                             << QVariantMap{} << "组团中|0 人|团码 生成中，请刷新|";
        QTest::newRow("leader code on the order's group")
            << QVariantMap{}
            << QVariantMap{{"team_type", "leader"}, {"group", QVariantMap{{"team_code", "K7M2QX"}}}}
            << "组团中|0 人|团码 K7M2QX|";
    }
    void groupDetail()
    {
        QFETCH(QVariantMap, group);
        QFETCH(QVariantMap, order);
        QFETCH(QString, shown);
        GroupDetail detail;
        detail.setGroup(group);
        detail.setOrder(order);
        const QVariantMap first = detail.members().value(0).toMap();
        const QString row = first.isEmpty() ? QString()
                                            : first.value("line").toString() + QLatin1Char(' ') +
                                                  first.value("status").toString();
        QCOMPARE(QStringList({detail.statusText(), detail.progressText(),
                              detail.identityLabel() + QLatin1Char(' ') + detail.identityValue(), row})
                     .join(QLatin1Char('|')),
                 shown);
    }

    void catalogueGames()
    {
        const QVariantList games{QVariantMap{{"id", "12"}, {"name", "甲"}, {"package_name", "com.a"}},
                                 QVariantMap{{"id", 7}, {"name", ""}, {"package_name", ""}},
                                 QVariantMap{{"id", ""}, {"name", "无标识"}}, QStringLiteral("乙"),
                                 QVariant()};
        const QVariantList options = PurchaseSelection::catalogueGameOptions(games);
        QCOMPARE(values(options, "value"), (QVariantList{"com.a", "7"}));
        QCOMPARE(values(options, "text"), (QVariantList{"甲", "7"}));
        QCOMPARE(values(options, "gameId"), (QVariantList{"12", 7}));
    }
};

QTEST_GUILESS_MAIN(TestPurchaseSelection)
#include "tst_purchaseselection.moc"
