// The main window as a keyboard or a screen reader meets it, on a 1280 x 720 screen: it opens inside
// the screen, a route is chosen with the keys alone, every Tab stop shows the focus, and the
// accessibility tree names every control once and reads out the figures.
#include "app/startup.h"
#include "app/windowfit.h"
#include "devserviceprocess.h"
#include "windowscript.h"
#include "wiredbackend.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMetaEnum>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(NimbraPlugin)

namespace {

// The window as the program opens it, placed by the remembered geometry.
struct Window : WiredBackend
{
    Window(const QString &baseUrl, const QRect &remembered)
        : WiredBackend(baseUrl)
    {
        engine = std::make_unique<QQmlApplicationEngine>();
        nimbra::publishBackend(*engine, backend, false, false,
                               {false, false, nimbra::startWindowGeometry(remembered)});
        nimbra::loadMainDocument(*engine);
        window = qobject_cast<QQuickWindow *>(engine->rootObjects().value(0));
    }
    ~Window() { engine.reset(); }

    bool ready() const { return window && QTest::qWaitForWindowExposed(window); }
    bool is(const char *condition) const
    {
        return windowscript::evaluate(window, QString::fromUtf8(condition)).toBool();
    }
    QQuickItem *focused() const { return window->activeFocusItem(); }
    QAccessible::Role focusedRole() const
    {
        QAccessibleInterface *face = focused() ? QAccessible::queryAccessibleInterface(focused()) : nullptr;
        return face ? face->role() : QAccessible::NoRole;
    }
    QString focusedName() const
    {
        QAccessibleInterface *face = focused() ? QAccessible::queryAccessibleInterface(focused()) : nullptr;
        return face ? face->text(QAccessible::Name) : QString();
    }
    bool signIn()
    {
        auth->loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        return QTest::qWaitFor([this] { return data.loggedIn(); }, 10000) &&
               QTest::qWaitFor(
                   [this] {
                       return !session->routeSource()->routesLoading() &&
                              !session->routeSource()->routeConfigLoading();
                   },
                   10000);
    }

    std::unique_ptr<QQmlApplicationEngine> engine;
    QQuickWindow *window = nullptr;
};

QQuickItem *findItem(QQuickItem *root, const QString &objectName)
{
    if (root->objectName() == objectName)
        return root;
    const QList<QQuickItem *> children = root->childItems();
    for (QQuickItem *child : children) {
        if (QQuickItem *found = findItem(child, objectName))
            return found;
    }
    return nullptr;
}

bool holds(const QQuickItem *box, const QQuickItem *item)
{
    for (; item; item = item->parentItem()) {
        if (item == box)
            return true;
    }
    return false;
}

// Tab until the focused control's accessible name starts with the given text; the names passed on the
// way are collected.
bool tabTo(Window &w, const QString &start, QStringList &passed)
{
    for (int step = 0; step < 80; ++step) {
        QTest::keyClick(w.window, Qt::Key_Tab);
        passed << w.focusedName();
        if (passed.constLast().startsWith(start))
            return true;
    }
    return false;
}

struct Entry
{
    QAccessible::Role role;
    QString name;
    QRect rect;
};

QString roleName(QAccessible::Role role)
{
    return QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(role));
}

bool interactive(const QAccessibleInterface *face)
{
    static const QList<QAccessible::Role> roles{
        QAccessible::Button,   QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::PageTab,
        QAccessible::ListItem, QAccessible::MenuItem, QAccessible::Link,        QAccessible::EditableText};
    return face->state().focusable || roles.contains(face->role());
}

// Every shown element of the accessibility tree under face; unnamed interactive ones are reported.
void walk(QAccessibleInterface *face, QList<Entry> &entries, QStringList &unnamed)
{
    for (int i = 0; i < face->childCount(); ++i) {
        QAccessibleInterface *child = face->child(i);
        if (!child || child->state().invisible)
            continue;
        const QString name = child->text(QAccessible::Name).trimmed();
        if (interactive(child) || child->role() == QAccessible::StaticText)
            entries << Entry{child->role(), name, child->rect()};
        if (interactive(child) && name.isEmpty())
            unnamed << roleName(child->role()) +
                           QStringLiteral(" at %1,%2").arg(child->rect().x()).arg(child->rect().y());
        walk(child, entries, unnamed);
    }
}

// The shown element of the accessibility tree under face with the role and name, or null.
QAccessibleInterface *findShown(QAccessibleInterface *face, QAccessible::Role role, const QString &name)
{
    for (int i = 0; face && i < face->childCount(); ++i) {
        QAccessibleInterface *child = face->child(i);
        if (!child || child->state().invisible)
            continue;
        if (child->role() == role && child->text(QAccessible::Name) == name)
            return child;
        if (QAccessibleInterface *found = findShown(child, role, name))
            return found;
    }
    return nullptr;
}

// The names that more than one shown control answers to.
QStringList sharedNames(const QList<Entry> &entries)
{
    QStringList names;
    QStringList shared;
    for (const Entry &entry : entries) {
        if (entry.role == QAccessible::StaticText || entry.name.isEmpty())
            continue;
        if (names.contains(entry.name) && !shared.contains(entry.name))
            shared << entry.name;
        names << entry.name;
    }
    return shared;
}

const Entry *find(const QList<Entry> &entries, QAccessible::Role role, const QString &name)
{
    for (const Entry &entry : entries) {
        if (entry.role == role && entry.name == name)
            return &entry;
    }
    return nullptr;
}

} // namespace

class TestWindowAccess : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DevServiceProcess> m_service;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        // No remembered route or recent game of another run.
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)).removeRecursively();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 1280, 720));
        m_service = std::make_unique<DevServiceProcess>();
        QVERIFY(m_service->isRunning());
    }
    void cleanupTestCase()
    {
        m_service.reset();
        QSettings().clear();
    }

    // The close button, the selector row and the status bar are on the screen, the first time and with
    // a remembered place that no longer fits.
    void windowFits_data()
    {
        QTest::addColumn<QRect>("remembered");
        QTest::newRow("first start") << QRect();
        QTest::newRow("remembered past the screen") << QRect(700, 400, 1360, 836);
    }
    void windowFits()
    {
        QFETCH(QRect, remembered);
        Window w(m_service->baseUrl(), remembered);
        QVERIFY(w.ready());
        const QRect screen = w.window->screen()->availableGeometry();
        QVERIFY(screen.contains(w.window->geometry()));
        QCOMPARE(w.window->size().expandedTo(nimbra::kWindowMinimumSize), w.window->size());
        const double scale = windowscript::evaluate(w.window, QStringLiteral("fitScale")).toDouble();
        QVERIFY(scale > 0.5 && scale <= 1);
        QList<Entry> entries;
        QStringList unnamed;
        walk(QAccessible::queryAccessibleInterface(w.window), entries, unnamed);
        for (const auto &[role, name] :
             {std::pair{QAccessible::Button, QStringLiteral("关闭")},
              std::pair{QAccessible::Button, QStringLiteral("线路 ") + w.session->routeSource()->line()},
              std::pair{QAccessible::StaticText, QStringLiteral("未加速 · 加速引擎待命")}}) {
            const Entry *entry = find(entries, role, name);
            QVERIFY2(entry, qPrintable(name));
            // Qt 6.4 reports an item's unscaled size at its scaled place, so the size is scaled here.
            const QRect shown(entry->rect.topLeft(), entry->rect.size() * scale);
            QVERIFY2(screen.contains(shown), qPrintable(name));
        }
    }

    // A choice on the settings page reaches the window and the stored preferences, and the page
    // shows it; each starts from the other value.
    void settingsChoices_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("preference");
        QTest::addColumn<bool>("wanted");
        QTest::newRow("light theme") << QStringLiteral("晨曦") << int(QAccessible::RadioButton) << "dawn"
                                     << true;
        QTest::newRow("dark theme") << QStringLiteral("夜航") << int(QAccessible::RadioButton) << "dawn"
                                    << false;
        QTest::newRow("smart route off")
            << QStringLiteral("智能选路") << int(QAccessible::CheckBox) << "smartRoute" << false;
        QTest::newRow("reconnect on")
            << QStringLiteral("断线自动重连") << int(QAccessible::CheckBox) << "reconnect" << true;
    }

    void settingsChoices()
    {
        QFETCH(QString, name);
        QFETCH(int, role);
        QFETCH(QString, preference);
        QFETCH(bool, wanted);
        Window w(m_service->baseUrl(), QRect());
        QVERIFY(w.ready());
        const QByteArray key = preference.toLatin1();
        QVERIFY(w.preferences->setProperty(key.constData(), !wanted));
        QVERIFY(w.is(QByteArray((wanted ? "!" : "") + key).constData()));
        windowscript::evaluate(w.window, QStringLiteral("navigation.selectTab('settings', 3)"));
        const auto control = [&w, &name, role] {
            return findShown(QAccessible::queryAccessibleInterface(w.window), QAccessible::Role(role), name);
        };
        QTRY_VERIFY(control());
        control()->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(w.preferences->property(key.constData()).toBool(), wanted);
        QCOMPARE(w.is(key.constData()), wanted);
        QTRY_COMPARE(bool(control()->state().checked), role == QAccessible::CheckBox ? wanted : true);
    }

    // Once the window is up, every part made later has been loaded in the background from a document
    // that exists, so none waits for loading on its first opening.
    void laterPartsLoaded()
    {
        Window w(m_service->baseUrl(), QRect());
        QVERIFY(w.ready());
        QTRY_VERIFY(w.is("preloaded.length === dialogs.laterDocuments.length + pages.laterDocuments.length"));
        QTRY_VERIFY(w.is("preloaded.every(part => part.status === Component.Ready)"));
    }

    // While accelerating, Ctrl+K still finds a game from any page, and another game chosen asks whether to
    // switch: the question has the keyboard, and Esc keeps the game and gives the keyboard back.
    void searchAndSwitchWhileBoosting()
    {
        Window w(m_service->baseUrl(), QRect());
        QVERIFY(w.ready());
        w.session->controller()->stageBoosting(true);
        // From another page too: it leads to the home page's search.
        windowscript::evaluate(w.window, QStringLiteral("navigation.selectTab('settings', 3)"));
        QTest::keyClick(w.window, Qt::Key_K, Qt::ControlModifier);
        QTRY_VERIFY2(w.focusedName().startsWith(QStringLiteral("搜索游戏")), qPrintable(w.focusedName()));
        QVERIFY(w.is("navigation.tab === 'home'"));
        const QString before = w.session->choice()->gameId();
        w.session->chooseGame(
            QVariantMap{{"id", before == QLatin1String("la") ? "jx3" : "la"}, {"name", "失落的方舟"}});
        QTRY_COMPARE(w.focusedName(), QStringLiteral("切换并加速"));
        QTest::keyClick(w.window, Qt::Key_Escape);
        QTRY_VERIFY(w.session->switchTarget().isEmpty());
        QCOMPARE(w.session->choice()->gameId(), before);
        QTRY_VERIFY2(w.focusedName().startsWith(QStringLiteral("搜索游戏")), qPrintable(w.focusedName()));
        w.session->controller()->stageBoosting(false);
    }

    // Signed out, the route dialog leads to the sign-in; signed in, a route is chosen with the keys
    // alone, and Tab never leaves the open dialog.
    void keyboardOnlyRouteChoice()
    {
        Window w(m_service->baseUrl(), QRect());
        QVERIFY(w.ready());
        QStringList passed;
        QVERIFY2(tabTo(w, QStringLiteral("线路"), passed), qPrintable(passed.join(QLatin1Char('|'))));
        // Reading order: the rail, the common games with their search, the start button, the selectors
        // (whole names: a list's indexOf matches exactly). The game offers one region: that is text, not
        // a stop.
        QList<qsizetype> order;
        for (const char *start : {"加速", "搜索游戏.*", "一键加速", "线路 .*"})
            order << passed.indexOf(QRegularExpression(QString::fromUtf8(start)));
        QVERIFY2(order.first() >= 0 && std::is_sorted(order.cbegin(), order.cend()) &&
                     passed.indexOf(QRegularExpression(QStringLiteral("区服 .*"))) < 0,
                 qPrintable(passed.join(QLatin1Char('|'))));

        QTest::keyClick(w.window, Qt::Key_Return);
        QVERIFY(w.is("navigation.nodeDialog && !loggedIn"));
        QTRY_COMPARE(w.focusedName(), QStringLiteral("登录"));
        QTest::keyClick(w.window, Qt::Key_Return);
        QVERIFY(w.is("navigation.loginDialog && !navigation.nodeDialog"));
        QTest::keyClick(w.window, Qt::Key_Escape);
        QVERIFY(w.is("!navigation.loginDialog"));

        QVERIFY(w.signIn());
        w.session->chooseGame(QVariantMap{
            {"id", "jx3"}, {"name", "剑网3"}, {"package_name", "com.kingsoft.jx3"}, {"country", "国服"}});
        QTRY_VERIFY_WITH_TIMEOUT(w.session->routeSource()->nodes().size() > 2 &&
                                     !w.session->routeSource()->routesLoading(),
                                 10000);
        QTRY_VERIFY(w.focusedName().startsWith(QStringLiteral("线路")));
        QTest::keyClick(w.window, Qt::Key_Return);
        QVERIFY(w.is("navigation.nodeDialog"));
        QQuickItem *dialog = findItem(w.window->contentItem(), QStringLiteral("routeDialog"));
        QVERIFY(dialog);
        // The chosen route has the focus; its name tells route, detail and state.
        const QString chosen = w.session->routeSource()->selectedNode().value("name").toString();
        QTRY_VERIFY(w.focused() && w.focused()->property("selected").toBool());
        QVERIFY2(w.focusedName().startsWith(chosen), qPrintable(w.focusedName()));

        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Tab,
                                  Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab}) {
            QTest::keyClick(w.window, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            QVERIFY2(holds(dialog, w.focused()), qPrintable(w.focusedName()));
        }

        // Arrows to the third route, Enter takes it; the focus goes back to the selector.
        findItem(dialog, QStringLiteral("routeRow0"))->forceActiveFocus();
        QTest::keyClick(w.window, Qt::Key_Down);
        QTest::keyClick(w.window, Qt::Key_Down);
        QTest::keyClick(w.window, Qt::Key_Up);
        QTest::keyClick(w.window, Qt::Key_Down);
        const QString third = w.session->routeSource()->nodes().at(2).toMap().value("name").toString();
        QVERIFY2(w.focusedName().startsWith(third), qPrintable(w.focusedName()));
        QTest::keyClick(w.window, Qt::Key_Return);
        QVERIFY(w.is("!navigation.nodeDialog"));
        QCOMPARE(w.session->routeSource()->line(), third);
        QTRY_COMPARE(w.focusedName(), QStringLiteral("线路 ") + third);

        // Esc closes the dialog as well.
        QTest::keyClick(w.window, Qt::Key_Return);
        QVERIFY(w.is("navigation.nodeDialog"));
        QTest::keyClick(w.window, Qt::Key_Escape);
        QVERIFY(w.is("!navigation.nodeDialog"));
        QCOMPARE(w.session->routeSource()->line(), third);

        // Enter in the search takes the one game it leaves.
        w.gameList->loadCommon();
        QTRY_VERIFY_WITH_TIMEOUT(w.data.commonGamesLoaded(), 10000);
        QVERIFY(tabTo(w, QStringLiteral("搜索游戏"), passed));
        for (const char key : {'c', 's', '2'})
            QTest::keyClick(w.window, key);
        QTest::keyClick(w.window, Qt::Key_Return);
        QTRY_COMPARE(w.session->choice()->selectedGame().value("name").toString(), QStringLiteral("CS2"));
    }

    // In the sign-in dialog Tab goes round its controls and Shift+Tab the same round backwards; once a
    // code is on its way the keyboard is in the code field, and the waiting button is no Tab stop.
    void signInKeyboard()
    {
        Window w(m_service->baseUrl(), QRect());
        QVERIFY(w.ready());
        windowscript::evaluate(w.window, QStringLiteral("navigation.openLogin()"));
        QTRY_COMPARE(w.focusedName(), QStringLiteral("请输入手机号"));
        QQuickItem *const start = w.focused();
        QList<QQuickItem *> round;
        do {
            QTest::keyClick(w.window, Qt::Key_Tab);
            round << w.focused();
        } while (w.focused() != start && round.size() < 30);
        QCOMPARE(w.focused(), start);
        for (qsizetype i = round.size() - 2; i >= -1; --i) {
            QTest::keyClick(w.window, Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(w.focused(), i >= 0 ? round.at(i) : start);
        }

        for (const char digit : std::string_view("13800138000"))
            QTest::keyClick(w.window, digit);
        QStringList passed;
        QVERIFY2(tabTo(w, QStringLiteral("获取验证码"), passed), qPrintable(passed.join(QLatin1Char('|'))));
        QTest::keyClick(w.window, Qt::Key_Return);
        QTRY_COMPARE(w.focusedName(), QStringLiteral("验证码"));
        passed.clear();
        for (qsizetype step = 0; step < round.size(); ++step) {
            QTest::keyClick(w.window, Qt::Key_Tab);
            passed << w.focusedName();
        }
        QVERIFY2(!passed.join(QLatin1Char('|')).contains(QStringLiteral("获取验证码")),
                 qPrintable(passed.join(QLatin1Char('|'))));
    }

    // The common games are one Tab stop; the arrows move the focused row and Enter chooses it.
    void commonGamesKeyboard()
    {
        Window w(m_service->baseUrl(), QRect());
        QVERIFY(w.ready());
        w.gameList->loadCommon();
        QTRY_VERIFY_WITH_TIMEOUT(w.data.commonGamesLoaded(), 10000);
        QStringList rows;
        for (int step = 0; step < 80 && !w.focusedName().startsWith(QStringLiteral("一键加速")); ++step) {
            QTest::keyClick(w.window, Qt::Key_Tab);
            if (w.focusedRole() == QAccessible::ListItem)
                rows << w.focusedName();
        }
        QCOMPARE(rows.size(), 1);
        while (w.focusedRole() != QAccessible::ListItem)
            QTest::keyClick(w.window, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(w.focusedName(), rows.constFirst());
        QTest::keyClick(w.window, Qt::Key_Down);
        QTest::keyClick(w.window, Qt::Key_Down);
        QTest::keyClick(w.window, Qt::Key_Up);
        const QString next = w.focusedName();
        QVERIFY2(w.focusedRole() == QAccessible::ListItem && next != rows.constFirst(), qPrintable(next));
        QTest::keyClick(w.window, Qt::Key_Return);
        QTRY_VERIFY2(next.startsWith(w.session->choice()->selectedGame().value("name").toString()),
                     qPrintable(next));
    }

    // A menu takes the keyboard when it opens and gives it back to its opener when it closes, by Esc
    // or by a choice.
    void menuKeyboard_data()
    {
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("closeKey");
        QTest::newRow("account menu, Esc")
            << QStringLiteral("账户菜单") << QStringLiteral("'退出登录'") << int(Qt::Key_Escape);
        QTest::newRow("mode menu, a choice")
            << QStringLiteral("模式") << QStringLiteral("navigation.modeRows[0].title")
            << int(Qt::Key_Return);
    }
    void menuKeyboard()
    {
        QFETCH(QString, opener);
        QFETCH(QString, entry);
        QFETCH(int, closeKey);
        Window w(m_service->baseUrl(), QRect());
        QVERIFY(w.ready());
        QVERIFY(w.signIn());
        QStringList passed;
        QVERIFY2(tabTo(w, opener, passed), qPrintable(passed.join(QLatin1Char('|'))));
        QQuickItem *const openerItem = w.focused();
        QTest::keyClick(w.window, Qt::Key_Return);
        QVERIFY(w.is("navigation.accountMenu || navigation.modeMenu"));
        QTRY_COMPARE(w.focusedName(), windowscript::evaluate(w.window, entry).toString());
        QTest::keyClick(w.window, Qt::Key(closeKey));
        QVERIFY(w.is("!navigation.accountMenu && !navigation.modeMenu"));
        QTRY_COMPARE(w.focused(), openerItem);
    }

    // Every Tab stop of the page marks the focus: the pixels round it change when it takes the keyboard.
    void focusShown_data()
    {
        QTest::addColumn<bool>("dawn");
        QTest::addColumn<QString>("page");
        for (const bool dawn : {false, true}) {
            const char *theme = dawn ? "light" : "dark";
            QTest::addRow("home, %s", theme) << dawn << QStringLiteral("navigation.selectTab('home', 0)");
            QTest::addRow("settings, %s", theme)
                << dawn << QStringLiteral("navigation.selectTab('settings', 3)");
            QTest::addRow("membership, %s", theme)
                << dawn << QStringLiteral("navigation.selectTab('vip', 2)");
        }
    }
    void focusShown()
    {
        QFETCH(bool, dawn);
        QFETCH(QString, page);
        Window w(m_service->baseUrl(), QRect());
        QVERIFY(w.ready());
        QVERIFY(w.preferences->setProperty("dawn", dawn));
        QVERIFY(w.signIn());
        w.gameList->loadCommon();
        QTRY_VERIFY_WITH_TIMEOUT(w.data.commonGamesLoaded(), 10000);
        windowscript::evaluate(w.window, page);
        windowscript::spin(300);
        QImage before = w.window->grabWindow();
        QList<QQuickItem *> seen;
        QStringList unmarked;
        for (int step = 0; step < 80; ++step) {
            QTest::keyClick(w.window, Qt::Key_Tab);
            QQuickItem *item = w.focused();
            if (!item || seen.contains(item))
                break;
            seen << item;
            windowscript::spin(30);
            const QImage after = w.window->grabWindow();
            const QRect around =
                item->mapRectToScene(item->boundingRect()).toAlignedRect().adjusted(-3, -3, 3, 3) &
                after.rect();
            if (before.copy(around) == after.copy(around))
                unmarked << w.focusedName();
            before = after;
        }
        QVERIFY(seen.size() > 5);
        QVERIFY2(unmarked.isEmpty(), qPrintable(unmarked.join(QStringLiteral("; "))));
    }

    // Every interactive element has a name and the figures are readable as text. The list is printed
    // once.
    void accessibilityWalk()
    {
        Window w(m_service->baseUrl(), QRect());
        QVERIFY(w.ready());
        QList<Entry> signedOut;
        QStringList unnamed;
        walk(QAccessible::queryAccessibleInterface(w.window), signedOut, unnamed);
        QVERIFY2(sharedNames(signedOut).isEmpty(),
                 qPrintable(sharedNames(signedOut).join(QStringLiteral("; "))));
        QVERIFY(w.signIn());
        w.gameList->loadCommon();
        QTRY_VERIFY_WITH_TIMEOUT(w.data.commonGamesLoaded(), 10000);
        // The region shown is one the chosen game lists, not the start-up placeholder.
        QVERIFY2(w.session->choice()->selectedGame().value("servers").toStringList().contains(
                     w.session->choice()->server()),
                 qPrintable(w.session->choice()->server()));
        windowscript::evaluate(w.window, QStringLiteral("navigation.toggleAccountMenu(null, 'rail-avatar')"));
        QVERIFY(w.is("navigation.accountMenu"));
        QList<Entry> entries;
        walk(QAccessible::queryAccessibleInterface(w.window), entries, unnamed);
        QVERIFY2(sharedNames(entries).isEmpty(), qPrintable(sharedNames(entries).join(QStringLiteral("; "))));
        windowscript::evaluate(
            w.window, QStringLiteral("navigation.accountMenu = false; navigation.selectTab('vip', 2)"));
        QVERIFY(windowscript::waitFor(
            w.window, QStringLiteral("pages.vipPage && pages.vipPage.selection.products.length > 0"), 10000));
        QList<Entry> vip;
        walk(QAccessible::queryAccessibleInterface(w.window), vip, unnamed);
        QVERIFY2(sharedNames(vip).isEmpty(), qPrintable(sharedNames(vip).join(QStringLiteral("; "))));
        entries += vip;
        for (const Entry &entry : std::as_const(entries))
            qInfo().noquote() << roleName(entry.role) + QLatin1Char('\t') + entry.name;
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral("; "))));

        const auto text = [&w](const char *script) {
            return windowscript::evaluate(w.window, QString::fromUtf8(script)).toString();
        };
        const QStringList figures{
            QStringLiteral("当前游戏：") + w.session->choice()->selectedGame().value("name").toString(),
            QStringLiteral("未加速 · 加速引擎待命"),
            w.is("vipNum > 0") ? QStringLiteral("会员编号：") + text("vipNum")
                               : QStringLiteral("会员状态：普通用户"),
            QStringLiteral("有效期：") + (text("dialogs.vipExpiryText").isEmpty()
                                              ? QStringLiteral("—")
                                              : text("dialogs.vipExpiryText")),
            QStringLiteral("合计 ") +
                findItem(w.window->contentItem(), QStringLiteral("totalText"))->property("text").toString()};
        for (const QString &figure : figures)
            QVERIFY2(find(entries, QAccessible::StaticText, figure), qPrintable(figure));
        // Measured figures move on between the walk and now; their form is what is read out.
        for (const char *figure : {"^节点延迟（未加速）  (\\d+ ms|测速中…|超时|—)$",
                                   "^节点延迟 (\\d+ ms|测速中…|超时|—)$", "^丢包  (\\d+\\.\\d%|—)$"}) {
            const QRegularExpression pattern(QString::fromUtf8(figure));
            QVERIFY2(std::any_of(entries.cbegin(), entries.cend(),
                                 [&pattern](const Entry &entry) {
                                     return entry.role == QAccessible::StaticText &&
                                            pattern.match(entry.name).hasMatch();
                                 }),
                     figure);
        }
        QVERIFY(find(entries, QAccessible::Button, QStringLiteral("账户菜单")));
        QVERIFY(find(entries, QAccessible::CheckBox, QStringLiteral("双网防丢包（暂不可用）")));
        // Each plan is named with its price.
        const auto plans = std::count_if(entries.cbegin(), entries.cend(), [](const Entry &entry) {
            return entry.role == QAccessible::RadioButton && entry.name.contains(QStringLiteral("，¥"));
        });
        QVERIFY(plans > 0);
        // No two entries of the common games sound alike.
        QStringList games;
        for (const Entry &entry : std::as_const(entries)) {
            if (entry.role == QAccessible::ListItem)
                games << entry.name;
        }
        QCOMPARE(games.size(), QSet<QString>(games.cbegin(), games.cend()).size());
    }
};

int main(int argc, char **argv)
{
    // A 1280 x 720 screen: the offscreen platform's screens come from a file.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1280, "height": 720,
                      "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") < 0)
        return 1;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    QGuiApplication app(argc, argv);
    TestWindowAccess test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowaccess.moc"
