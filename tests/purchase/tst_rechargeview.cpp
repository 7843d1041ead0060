// The membership page against the real purchase client and state store and the dev service: orders of
// the three modes, the payment dialog's QR code read back from its rendered image, the status poll,
// cancellation and the purchase history; a team leader's team joined by another account, and a group
// followed until it forms.
#include "app/startup.h"
#include "devserviceprocess.h"
#include "purchase/paymentorder.h"
#include "windowscript.h"
#include "wiredbackend.h"

#include <QJsonArray>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickItemGrabResult>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(NimbraPlugin)

namespace {

// The page as the membership tab's loader makes it, in a window of the page's size, signed in with
// the dev service's ready account.
struct Page : WiredBackend
{
    explicit Page(const QString &baseUrl)
        : WiredBackend(baseUrl)
    {
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        nimbra::publishBackend(engine, backend, false, false);
        QObject::connect(&engine, &QQmlEngine::warnings, &engine, [this](const QList<QQmlError> &list) {
            for (const QQmlError &warning : list)
                warnings << warning.toString();
        });
        QQmlComponent component(&engine);
        component.setData(
            "import Nimbra\n"
            "RechargeView { api: App.rechargeApi; dataStore: App.globalData; guid: App.globalData.userId;"
            " loggedIn: App.globalData.loggedIn; qrGenerator: App.qrCodeGenerator }",
            QUrl());
        view = qobject_cast<QQuickItem *>(component.create());
        if (!view) {
            qWarning("%s", qPrintable(component.errorString()));
            return;
        }
        window.resize(1218, 716);
        view->setParentItem(window.contentItem());
        view->setSize(QSizeF(1218, 716));
        window.show();
        toasts = std::make_unique<QSignalSpy>(view, SIGNAL(toastRequested(QString, bool)));
        created = std::make_unique<QSignalSpy>(recharge.get(), &RechargeApi::orderCreated);
        paymentReady = std::make_unique<QSignalSpy>(recharge.get(), &RechargeApi::pcPaymentReady);
        QObject::connect(recharge.get(), &RechargeApi::trace, recharge.get(),
                         [this](const QString &line) { requests << line; });
    }

    ~Page() { delete view; }

    bool signIn(const QString &phone = QStringLiteral("13800138000"),
                const QString &password = QStringLiteral("nimbra123"))
    {
        auth->loginPassword(phone, password);
        return QTest::qWaitFor(
            [this] {
                return isTrue(QStringLiteral("loggedIn && selection.products.length > 0 && !loading"));
            },
            10000);
    }

    QVariant eval(const QString &expression) const { return windowscript::evaluate(view, expression); }
    bool isTrue(const QString &expression) const { return eval(expression).toBool(); }
    // Whether an item with this text is shown inside the shown item of the given name.
    bool shows(const QString &name, const QString &text) const
    {
        QQuickItem *item = find(name);
        if (!item)
            return false;
        if (find(text, item))
            return true;
        // A dialog's card is shown in a pop-up, which is not among the dialog's items.
        for (const QObject *popup : item->findChildren<QObject *>()) {
            auto *content = popup->inherits("QQuickPopup")
                                ? popup->property("contentItem").value<QQuickItem *>()
                                : nullptr;
            if (content && find(text, content))
                return true;
        }
        return false;
    }
    // Runs a script, then lets the page's next-turn work (default selections, traces) happen.
    void run(const QString &script)
    {
        eval(script);
        QTest::qWait(20);
    }

    int toastCount(const QString &message) const
    {
        return static_cast<int>(
            std::count_if(toasts->cbegin(), toasts->cend(), [&message](const QList<QVariant> &toast) {
                return toast.value(0).toString() == message;
            }));
    }
    bool toasted(const QString &message) const { return toastCount(message) > 0; }
    int sent(const QString &operation) const
    {
        return static_cast<int>(requests.filter(QStringLiteral("请求已提交"))
                                    .filter(QStringLiteral("op=") + operation + QLatin1Char(' '))
                                    .size());
    }

    // The shown item of our own making whose objectName, text or accessible name is the given one. The
    // whole window is searched: the page's dialogs are pop-ups, shown on the window's overlay.
    QQuickItem *find(const QString &name, QQuickItem *root = nullptr) const
    {
        root = root ? root : window.contentItem();
        QQuickItem *found = nullptr;
        for (QQuickItem *child : root->childItems()) {
            if (QQuickItem *inner = find(name, child))
                found = inner;
        }
        if (found || !root->isVisible())
            return found;
        if (root->objectName() == name || root->property("text").toString() == name ||
            root->property("accessibleName").toString() == name || root->property("label").toString() == name)
            return root;
        return nullptr;
    }
    bool click(const QString &name)
    {
        QQuickItem *item = find(name);
        for (QQuickItem *up = item; up; up = up->parentItem()) {
            if (!up->isVisible())
                item = nullptr;
        }
        if (!item) {
            qWarning("nothing shown is called %s", qPrintable(name));
            return false;
        }
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
        return true;
    }

    // Pays with what is chosen and waits for the QR dialog.
    bool payAndWaitForDialog()
    {
        run(QStringLiteral("selection.agreed = true"));
        return click(QStringLiteral("payButton")) &&
               QTest::qWaitFor([this] { return isTrue(QStringLiteral("payment.opened")); }, 10000);
    }

    // What zbarimg reads from the dialog's QR image as it is rendered.
    QString decodeShownQrCode()
    {
        QQuickItem *image = find(QStringLiteral("paymentQrImage"));
        if (!image)
            return {};
        if (!QTest::qWaitFor([image] { return image->property("status").toInt() == 1; }, 5000))
            return {};
        const QSharedPointer<QQuickItemGrabResult> grab = image->grabToImage();
        if (!grab || !QTest::qWaitFor([&grab] { return !grab->image().isNull(); }, 5000))
            return {};
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("qr.png"));
        grab->image().save(file);
        QProcess zbar;
        zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), file});
        zbar.waitForFinished(10000);
        return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
    }

    QQmlEngine engine;
    QQuickWindow window;
    QQuickItem *view = nullptr;
    QStringList warnings;
    QStringList requests;
    std::unique_ptr<QSignalSpy> toasts;
    std::unique_ptr<QSignalSpy> created;
    std::unique_ptr<QSignalSpy> paymentReady;
};

} // namespace

class TestRechargeView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DevServiceProcess> m_service;
    std::unique_ptr<Page> m_page;

    Page &page() { return *m_page; }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
            QSKIP("zbarimg (Debian package zbar-tools) is not installed");
        // Simulated members join only when a test moves a team's clock on.
        m_service = std::make_unique<DevServiceProcess>(QStringList{"--join-interval", "600"});
        QVERIFY(m_service->isRunning());
    }
    void init()
    {
        m_page = std::make_unique<Page>(m_service->baseUrl());
        QVERIFY(page().view);
        QVERIFY(page().signIn());
    }
    void cleanup()
    {
        QStringList warnings = page().warnings;
        m_page.reset();
        QCOMPARE(warnings, QStringList());
    }
    void cleanupTestCase()
    {
        m_service.reset();
        QSettings().clear();
    }

    // Each mode's order carries what was chosen; the QR code shown is the service's payment link;
    // once the service has the payment, the poll closes the dialog and the membership is extended.
    void orderPaidInEachMode_data()
    {
        QTest::addColumn<QString>("choose");
        QTest::addColumn<QVariantMap>("ordered");
        QTest::addColumn<QString>("paidToast");
        QTest::newRow("shared") << "selection.selectMode('shared'); selection.selectPlan(1)"
                                << QVariantMap{{"product_id", 102}, {"product_type", "shared"}}
                                << "支付成功，会员权益已更新";
        QTest::newRow("private")
            << "selection.selectMode('private'); selection.selectPrivateIpType('residential');"
               " selection.selectPrivateRegion('jp-tyo')"
            << QVariantMap{{"product_type", "private"},
                           {"node_type_key", "residential"},
                           {"region_key", "jp-tyo"}}
            << "支付成功，会员权益已更新";
        QTest::newRow("group") << "selection.selectMode('group'); selection.selectTeamSize(5); "
                                  "selection.selectGroupIpType('broadband');"
                                  " selection.selectGame('com.tencent.lol')"
                               << QVariantMap{{"product_type", "group"},
                                              {"member_count", 5},
                                              {"node_type_key", "broadband"},
                                              {"package_name", "com.tencent.lol"}}
                               << "支付成功，正在刷新拼团状态";
    }
    void orderPaidInEachMode()
    {
        QFETCH(QString, choose);
        QFETCH(QVariantMap, ordered);
        QFETCH(QString, paidToast);
        Page &p = page();
        // Modes sync their default choices on the next turn; the choices are made after that.
        p.run(choose.section(QLatin1Char(';'), 0, 0));
        p.run(choose.section(QLatin1Char(';'), 1));
        const qint64 expiryBefore = p.data.membership().value(QStringLiteral("vip_expire_at")).toLongLong();
        const qint64 price = p.eval(QStringLiteral("selection.priceFen")).toLongLong();

        QVERIFY(p.payAndWaitForDialog());
        QCOMPARE(p.created->size(), 1);
        const QVariantMap order = p.created->at(0).at(1).toMap();
        for (auto it = ordered.cbegin(); it != ordered.cend(); ++it)
            QCOMPARE(order.value(it.key()).toString(), it.value().toString());
        QCOMPARE(order.value(QStringLiteral("price_fen")).toLongLong(), price);
        const QString codeUrl = p.paymentReady->at(0).at(1).toString();
        QVERIFY(codeUrl.startsWith(QStringLiteral("weixin://")));
        QCOMPARE(p.decodeShownQrCode(), codeUrl);
        QVERIFY(p.toasted(QStringLiteral("请使用微信扫码支付")));

        const QJsonObject paid =
            m_service->post(QStringLiteral("/__dev/pay"),
                            QJsonObject{{"order_id", order.value(QStringLiteral("order_id")).toLongLong()}});
        QCOMPARE(paid.value(QStringLiteral("code")).toInt(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!p.isTrue(QStringLiteral("payment.opened")), 6000);
        QVERIFY(p.toasted(paidToast));
        QCOMPARE(p.eval(QStringLiteral("payment.statusText")).toString(), QStringLiteral("已支付"));
        QVERIFY(p.data.membership().value(QStringLiteral("vip_expire_at")).toLongLong() > expiryBefore);
    }

    // A plan's price is its total, so its unit names the plan's period.
    void planUnitsNameTheirPeriod_data()
    {
        QTest::addColumn<int>("plan");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("unit");
        QTest::newRow("week") << 0 << "¥9.9"
                              << "/周";
        QTest::newRow("month") << 1 << "¥30"
                               << "/月";
        QTest::newRow("quarter") << 2 << "¥78"
                                 << "/季";
        QTest::newRow("half year") << 3 << "¥148"
                                   << "/半年";
        QTest::newRow("year") << 4 << "¥268"
                              << "/年";
    }
    void planUnitsNameTheirPeriod()
    {
        QFETCH(int, plan);
        QFETCH(QString, price);
        QFETCH(QString, unit);
        Page &p = page();
        p.run(QStringLiteral("selection.selectMode('shared')"));
        QQuickItem *card = nullptr;
        QTRY_VERIFY((card = p.find(QStringLiteral("planCard%1").arg(plan))));
        QVERIFY(p.find(price, card));
        QQuickItem *unitText = p.find(QStringLiteral("planUnit"), card);
        QVERIFY(unitText);
        QCOMPARE(unitText->property("text").toString(), unit);
    }

    // Below the group options, the chosen group plan's card is brought into view, whichever choice
    // changed the plans.
    void groupPlanBroughtIntoView()
    {
        Page &p = page();
        QQuickItem *grid = p.find(QStringLiteral("planGrid"));
        QVERIFY(grid);
        for (const QString &choice :
             {QStringLiteral("selection.selectMode('group')"), QStringLiteral("selection.selectTeamSize(10)"),
              QStringLiteral("selection.selectGroupIpType('broadband')")}) {
            p.run(choice);
            const QString name =
                QStringLiteral("planCard") + p.eval(QStringLiteral("selection.planIndex")).toString();
            QTRY_VERIFY2(
                [&] {
                    QQuickItem *card = p.find(name);
                    const QRectF shown = card ? card->mapRectToItem(grid, card->boundingRect()) : QRectF();
                    return card && shown.top() >= -1 && shown.bottom() <= grid->height() + 1;
                }(),
                qPrintable(choice));
        }
    }

    // The dialog's "取消订单" asks, then cancels the order it shows. A pending order in the history is paid
    // again with "继续支付" (the same code), and cancelled from its row, after asking, once its plan can no
    // longer be paid.
    void cancelAndContinueOrders()
    {
        Page &p = page();
        p.run(QStringLiteral("selection.selectMode('shared'); selection.selectPlan(3)"));
        QVERIFY(p.payAndWaitForDialog());
        QVERIFY(p.click(QStringLiteral("取消订单")));
        QVERIFY(p.isTrue(QStringLiteral("payment.opened")));
        QVERIFY(p.click(QStringLiteral("确认取消？")));
        QTRY_COMPARE_WITH_TIMEOUT(p.toastCount(QStringLiteral("订单已取消")), 1, 5000);
        QVERIFY(!p.isTrue(QStringLiteral("payment.opened")));

        QVERIFY(p.payAndWaitForDialog());
        const qint64 id = p.eval(QStringLiteral("payment.orderId")).toLongLong();
        const QString code = p.eval(QStringLiteral("payment.codeUrl")).toString();
        QVERIFY(p.click(QStringLiteral("关闭窗口")));
        QVERIFY(!p.isTrue(QStringLiteral("payment.opened")));
        QVERIFY(p.click(QStringLiteral("historyButton")));
        const QString row = QStringLiteral("orders.some(o => o.order_id === %1 && %2)").arg(id);
        QTRY_VERIFY_WITH_TIMEOUT(p.isTrue(row.arg(QStringLiteral("o.can_pay"))), 5000);
        // A row is named by the order number its detail shows.
        const QString number =
            p.eval(QStringLiteral("String(orders.find(o => o.order_id === %1).order_no || %1)").arg(id))
                .toString();
        QVERIFY(p.click(QStringLiteral("继续支付 ") + number));
        QTRY_VERIFY_WITH_TIMEOUT(p.isTrue(QStringLiteral("payment.opened")), 5000);
        QCOMPARE(p.eval(QStringLiteral("payment.orderId")).toLongLong(), id);
        QCOMPARE(p.eval(QStringLiteral("payment.codeUrl")).toString(), code);
        QVERIFY(p.click(QStringLiteral("关闭窗口")));

        const auto available = [this](bool on) {
            return m_service
                ->post(QStringLiteral("/__test/pintuan/product-availability"),
                       QJsonObject{{"product_id", 104}, {"available", on}})
                .value(QStringLiteral("code"))
                .toInt();
        };
        QCOMPARE(available(false), 1);
        p.eval(QStringLiteral("api.loadOrders(guid, 1, 20)"));
        QTRY_VERIFY_WITH_TIMEOUT(p.isTrue(row.arg(QStringLiteral("!o.can_pay && o.can_cancel"))), 5000);
        const bool clicked = p.click(QStringLiteral("取消订单 ") + number);
        const bool confirmed = p.click(QStringLiteral("确认取消？ ") + number);
        QCOMPARE(available(true), 1);
        QVERIFY(clicked && confirmed);
        QTRY_VERIFY_WITH_TIMEOUT(p.isTrue(row.arg(QStringLiteral("o.payment_status === 'closed'"))), 5000);
        QCOMPARE(p.toastCount(QStringLiteral("订单已取消")), 2);
    }

    // A cached catalogue that shows a lower price than the service charges stops the payment before any
    // QR code exists; the order stays pending for the history.
    void amountMismatchStopsBeforeQrCode()
    {
        Page &p = page();
        p.run(QStringLiteral(
            "dataStore.setPreparedPurchaseData({ shared: { products: [{ name: '共享会员 · 月卡',"
            " priceFen: 2500, priceText: '25', payload: { product_id: 102 } }] } }); "
            "selection.selectMode('shared')"));
        QCOMPARE(p.eval(QStringLiteral("selection.priceFen")).toLongLong(), 2500);
        p.run(QStringLiteral("selection.agreed = true"));
        QVERIFY(p.click(QStringLiteral("payButton")));
        QTRY_COMPARE_WITH_TIMEOUT(p.created->size(), 1, 5000);
        QVERIFY(p.toasted(QStringLiteral(
            "订单金额不一致：所选 ¥25，服务器创建 ¥30。已停止支付，请在订单记录中取消该订单")));
        QVERIFY(!p.isTrue(QStringLiteral("payment.opened || orderCreating")));
        QTest::qWait(300);
        QCOMPARE(p.sent(QStringLiteral("pc_pay")), 0);
        QCOMPARE(p.paymentReady->size(), 0);
        QCOMPARE(p.eval(QStringLiteral("payment.codeUrl")).toString(), QString());
    }

    // A refused order creation ends the creating state, so the pay button works again, and its message
    // is shown; a seat in a leader's team is an order creation too.
    void refusedOrderEndsCreating_data()
    {
        QTest::addColumn<QString>("create");
        QTest::newRow("plan") << "payment.create('shared', { product_id: 999999 }, '', 0)";
        QTest::newRow("leader seat") << "payment.create('leader_join', { team_code: 'NOSUCH', package_name: "
                                        "'com.tencent.lol' }, '', 0)";
    }
    void refusedOrderEndsCreating()
    {
        QFETCH(QString, create);
        Page &p = page();
        p.run(create);
        QTRY_VERIFY_WITH_TIMEOUT(!p.isTrue(QStringLiteral("orderCreating")), 5000);
        const QString message = p.eval(QStringLiteral("selection.errorMessage")).toString();
        QVERIFY(!message.isEmpty());
        QVERIFY(p.toasted(message));
    }

    // A poll that finds the client busy is skipped; the next one follows three seconds later.
    void busyClientSkipsPollTick()
    {
        Page &p = page();
        PaymentOrder *payment = p.recharge->payment();
        qint64 now = 0;
        payment->setClock([&now] { return now; });
        payment->setTickInterval(24 * 3600 * 1000);
        p.run(QStringLiteral("selection.selectMode('shared')"));
        QVERIFY(p.payAndWaitForDialog());
        QTRY_VERIFY(!p.isTrue(QStringLiteral("loading")));
        const int before = p.sent(QStringLiteral("pay_status"));

        p.eval(QStringLiteral("api.loadOrders(guid, 1, 20)"));
        QVERIFY(p.isTrue(QStringLiteral("loading")));
        now += 3000;
        payment->tick();
        QCOMPARE(p.sent(QStringLiteral("pay_status")), before);
        QTRY_VERIFY(!p.isTrue(QStringLiteral("loading")));
        for (int second = 0; second < 3; ++second) {
            QCOMPARE(p.sent(QStringLiteral("pay_status")), before);
            now += 1000;
            payment->tick();
        }
        QCOMPARE(p.sent(QStringLiteral("pay_status")), before + 1);
        payment->setTickInterval(1000);
    }

    // The payment belongs to the purchase client: leaving the tab (the page goes) neither stops the
    // poll nor loses the order, and the page made again shows where it stands.
    void paymentOutlivesThePage()
    {
        Page &p = page();
        p.run(QStringLiteral("selection.selectMode('shared')"));
        QVERIFY(p.payAndWaitForDialog());
        const qint64 id = p.eval(QStringLiteral("payment.orderId")).toLongLong();
        delete p.view;
        p.view = nullptr;
        PaymentOrder *payment = p.recharge->payment();
        QVERIFY(payment->opened());
        m_service->post(QStringLiteral("/__dev/pay"), QJsonObject{{"order_id", id}});
        QTRY_VERIFY_WITH_TIMEOUT(!payment->opened(), 8000);
        QCOMPARE(payment->orderId(), id);
        QCOMPARE(payment->statusText(), QStringLiteral("已支付"));
    }

    // A leader opens a team in the leader centre; another account looks its code up in lower case,
    // buys a seat for a game through the QR payment, and the leader's teams show the new member.
    void leaderTeamSeatBoughtByAnotherAccount()
    {
        Page &leader = page();
        QTRY_VERIFY_WITH_TIMEOUT(leader.isTrue(QStringLiteral("dataStore.leaderEntry.is_leader === true")),
                                 5000);
        leader.run(QStringLiteral("selection.selectMode('group'); selection.groupMethod = 'leader'"));
        QVERIFY(leader.click(QStringLiteral("团长中心")));
        QTRY_VERIFY(!leader.isTrue(QStringLiteral("loading"))); // the button waits for the teams reload
        QVERIFY(leader.click(QStringLiteral("createTeamButton")));
        QTRY_VERIFY_WITH_TIMEOUT(leader.toasted(QStringLiteral("团长团创建成功")), 5000);
        const QString code = leader.eval(QStringLiteral("dataStore.leaderTeamDetail.team_code")).toString();
        const QString row = QStringLiteral("leaderTeam ") + code;
        QTRY_VERIFY_WITH_TIMEOUT(leader.shows(row, QStringLiteral("0/5 人")), 5000);

        Page member(m_service->baseUrl());
        QVERIFY(member.signIn(QStringLiteral("13900139000"), QStringLiteral("nimbra456")));
        // A leader's team is joined at its seat price: its tab offers none of the group plans.
        member.run(QStringLiteral("selection.selectMode('group')"));
        QTRY_VERIFY(member.find(QStringLiteral("planCard0")));
        member.run(QStringLiteral("selection.groupMethod = 'leader'"));
        QTRY_VERIFY(!member.find(QStringLiteral("planCard0")));
        QQuickItem *input = member.find(QStringLiteral("codeInput"));
        QVERIFY(input);
        input->forceActiveFocus();
        for (const QChar c : code.toLower())
            QTest::keyClick(&member.window, c.toLatin1());
        QVERIFY(member.click(QStringLiteral("queryButton")));
        QTRY_VERIFY_WITH_TIMEOUT(
            member.isTrue(QStringLiteral("groups.leaderTeam.team_code === '%1'").arg(code)), 5000);
        QCOMPARE(member.eval(QStringLiteral("groups.leaderTeamCode")).toString(), code);
        QVERIFY(member.shows(QStringLiteral("leaderJoinPanel"), QStringLiteral("复制团码 ") + code));
        member.run(QStringLiteral(
            "groups.leaderGameId = groups.leaderTeam.available_games.find(g => g.available).package_name"));
        const qint64 price = member.eval(QStringLiteral("selection.priceFen")).toLongLong();
        QVERIFY(price > 0);

        QVERIFY(member.payAndWaitForDialog());
        QCOMPARE(member.created->at(0).at(0).toString(), QStringLiteral("leader_join"));
        const QVariantMap order = member.created->at(0).at(1).toMap();
        QCOMPARE(order.value(QStringLiteral("team_code")).toString(), code);
        QCOMPARE(order.value(QStringLiteral("price_fen")).toLongLong(), price);
        QCOMPARE(member.decodeShownQrCode(), member.paymentReady->at(0).at(1).toString());
        m_service->post(QStringLiteral("/__dev/pay"),
                        QJsonObject{{"order_id", order.value(QStringLiteral("order_id")).toLongLong()}});
        QTRY_VERIFY_WITH_TIMEOUT(!member.isTrue(QStringLiteral("payment.opened")), 6000);
        QVERIFY(member.toasted(QStringLiteral("支付成功，正在刷新拼团状态")));
        QCOMPARE(member.warnings, QStringList());

        // Opening the centre again asks for the leader's teams.
        leader.run(QStringLiteral("groups.leaderOpened = false"));
        QVERIFY(leader.click(QStringLiteral("团长中心")));
        QVERIFY(leader.click(QStringLiteral("我的开团")));
        QTRY_VERIFY_WITH_TIMEOUT(leader.shows(row, QStringLiteral("1/5 人")), 5000);
    }

    // A paid normal group order is followed in "我的拼团": its team fills up (the service's simulated
    // members, moved on by the test) and the refreshed detail shows it formed.
    void groupOrderFollowedUntilFormed()
    {
        Page &p = page();
        p.run(QStringLiteral("selection.selectMode('group')"));
        p.run(QStringLiteral("selection.selectTeamSize(5); selection.selectGroupIpType('datacenter'); "
                             "selection.selectGame('com.valve.cs2')"));
        // A plan without a forming team of the service's own: the order opens a new one.
        p.run(QStringLiteral("selection.selectPlan(selection.currentProducts.findIndex(p => "
                             "p.payload.product_key === '1_rifu_5'))"));
        QVERIFY(p.payAndWaitForDialog());
        const qint64 id = p.eval(QStringLiteral("payment.orderId")).toLongLong();
        m_service->post(QStringLiteral("/__dev/pay"), QJsonObject{{"order_id", id}});
        QTRY_VERIFY_WITH_TIMEOUT(p.isTrue(QStringLiteral("groups.detailOpened && !groups.detailLoading")),
                                 6000);
        QCOMPARE(p.eval(QStringLiteral("groups.detailOrderId")).toLongLong(), id);

        p.run(QStringLiteral("groups.detailOpened = false"));
        QVERIFY(p.click(QStringLiteral("我的拼团")));
        QTRY_VERIFY_WITH_TIMEOUT(p.isTrue(QStringLiteral("groups.detailOpened && !groups.detailLoading")),
                                 5000);
        const int teamId = p.eval(QStringLiteral("groups.group.team.team_id")).toInt();
        const int paid = p.eval(QStringLiteral("groups.group.team.paid_member_count")).toInt();
        QVERIFY(teamId > 0 && paid > 0 && paid < 5);
        QVERIFY(p.shows(QStringLiteral("groupDetail"), QStringLiteral("%1 / 5 人").arg(paid)));
        QVERIFY(p.shows(QStringLiteral("groupDetail"), QStringLiteral("组团中")));

        m_service->post(QStringLiteral("/__test/pintuan/age-team"),
                        QJsonObject{{"team_id", teamId}, {"seconds", 6000}});
        QVERIFY(p.click(QStringLiteral("refreshButton")));
        QTRY_VERIFY_WITH_TIMEOUT(p.shows(QStringLiteral("groupDetail"), QStringLiteral("5 / 5 人")), 5000);
        QVERIFY(p.shows(QStringLiteral("groupDetail"), QStringLiteral("已成团")));
        QCOMPARE(p.eval(QStringLiteral("groups.detailOrderId")).toLongLong(), id);
    }
};

QTEST_MAIN(TestRechargeView)
#include "tst_rechargeview.moc"
