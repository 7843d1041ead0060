#include "app/startup.h"

#include "app/qmldebuggerargs.h"
#include "app/runtimelog.h"
#include "app/singleinstance.h"
#include "app/singletons.h"
#include "app/windowfit.h"
#include "app/wiring.h"
#include "net/serviceaddress.h"
#include "platform/autostart.h"
#include "platform/elevation.h"
#include "platform/identity.h"
#include "platform/termination.h"
#include "state/globaldata.h"
#include "state/preferences.h"
#include "state/storedfiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QSettings>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>
#include <optional>

namespace nimbra {
namespace {

void applyNativeWindowIcon(QWindow *window)
{
    if (!window)
        return;
    const auto result = platform::applyNativeWindowIcon(static_cast<std::uintptr_t>(window->winId()));
    if (!result.complete)
        qWarning().noquote()
            << QStringLiteral("Failed to load native application icon, error=%1").arg(result.lastError);
}

// Termination signals end the run through the event loop, so that the quit handlers still run.
void watchTerminationSignals(QGuiApplication &app)
{
    const int fd = platform::openTerminationNotifier();
    if (fd < 0)
        return;
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [fd] {
        const int signalNumber = platform::readTerminationNotification(fd);
        qInfo().noquote() << QStringLiteral("[APP] 收到终止信号 %1，正在退出").arg(signalNumber);
        QCoreApplication::quit();
    });
}

// The icon file holds nine pictures, all decoded as the icon is made: several milliseconds, so it is
// made once the first frame is out rather than on the way to it.
void setApplicationIcon()
{
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/app.ico")));
}

// The first frame is timed and then the application icon set, in the GUI thread (a threaded render
// loop swaps frames in its own thread).
void afterFirstFrame(QQuickWindow *window, const QElapsedTimer &sinceStart)
{
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [connection, elapsed = sinceStart] {
            QObject::disconnect(*connection);
            qInfo().noquote() << QStringLiteral("[PERF] 首帧已呈现 elapsed=%1ms").arg(elapsed.elapsed());
            QMetaObject::invokeMethod(qApp, &setApplicationIcon, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

// One line at start, so that a settings file that cannot be read or written (a new device id on every
// start, a session never kept) shows in the log.
void logSettingsStatus(QSettings &settings)
{
    settings.sync();
    const QString line = QStringLiteral("[APP] 设置文件 path=%1 status=%2 writable=%3")
                             .arg(QDir::toNativeSeparators(settings.fileName()),
                                  storage::settingsStatusText(settings.status()),
                                  settings.isWritable() ? QStringLiteral("true") : QStringLiteral("false"));
    if (settings.status() == QSettings::NoError && settings.isWritable())
        qInfo().noquote() << line;
    else
        qWarning().noquote() << line;
}

void raiseMainWindow(QQmlApplicationEngine &engine)
{
    const QList<QObject *> roots = engine.rootObjects();
    auto *window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.constFirst());
    qInfo().noquote() << QStringLiteral("[APP] 收到再次启动的请求，显示主窗口 window=%1")
                             .arg(window ? QStringLiteral("yes") : QStringLiteral("none"));
    SingleInstance::raiseWindow(window);
}

} // namespace

void publishBackend(QQmlEngine &engine, const Backend &backend, bool debuggerActive, bool debuggerRequested,
                    WindowStart windowStart)
{
    GlobalData::setClipboardWriter(&copyToSystemClipboard);
    setEngineSingletons(engine, backend, windowStart, debuggerActive, debuggerRequested);
}

std::unique_ptr<QQmlComponent> startLoadingMainDocument(QQmlApplicationEngine &engine)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
#endif
    return std::make_unique<QQmlComponent>(&engine, QUrl(QStringLiteral("qrc:/qt/qml/Nimbra/Main.qml")),
                                           QQmlComponent::Asynchronous);
}

void loadMainDocument(QQmlApplicationEngine &engine)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    engine.loadFromModule(QStringLiteral("Nimbra"), QStringLiteral("Main"));
#else
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Nimbra/Main.qml")));
#endif
}

namespace {

// The names the desktop, the settings store and the taskbar know the client by.
void setApplicationIdentity()
{
    platform::setProcessAppUserModelId(platform::kAppUserModelId);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(platform::kAppUserModelId));
    QCoreApplication::setOrganizationName(QStringLiteral("Nimbra"));
    QCoreApplication::setApplicationName(QStringLiteral("Nimbra"));
}

// Another copy holds the lock: hand over to it, or wait for it to end. The exit code of this start,
// or nothing when the other copy ended and this one goes on as the only one.
std::optional<int> yieldToRunningCopy(SingleInstance &instance, bool hiddenRequested, QString &instanceError)
{
    // A start at login finds the client running already: it stays as the user left it.
    if (hiddenRequested) {
        qInfo().noquote() << QStringLiteral("[APP] Nimbra 已在运行，后台启动请求已忽略");
        return 0;
    }
    switch (instance.handOverOrWait(instanceError)) {
    case SingleInstance::Wait::HandedOver:
        qInfo().noquote() << QStringLiteral("[APP] Nimbra 已在运行，已请求其显示主窗口，本次启动退出");
        return 0;
    case SingleInstance::Wait::GaveUp:
        qWarning().noquote()
            << QStringLiteral("[APP] Nimbra 已在运行，但无法联系该进程：%1；本次启动退出").arg(instanceError);
        setApplicationIcon();
        QMessageBox::warning(nullptr, QStringLiteral("Nimbra"),
                             QStringLiteral("Nimbra 已在运行，但没有响应。请稍后再试，"
                                            "或先结束正在运行的 Nimbra。"));
        return 1;
    case SingleInstance::Wait::Primary:
        qInfo().noquote() << QStringLiteral("[APP] 先前运行的 Nimbra 已退出，本次启动继续");
        break;
    }
    return std::nullopt;
}

// QML warnings go to the log; a main document that cannot be created ends the run with -1.
void reportEngineProblems(QQmlApplicationEngine &engine)
{
    QObject::connect(
        &engine, &QQmlEngine::warnings, &engine,
        [](const QList<QQmlError> &warnings) {
            for (const QQmlError &warning : warnings)
                qWarning().noquote() << warning.toString();
        },
        Qt::DirectConnection);
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, qApp,
        [] {
            qWarning().noquote() << QStringLiteral("QML root object creation failed");
            QCoreApplication::exit(-1);
        },
        Qt::QueuedConnection);
}

// The created main window: its first frame timed and followed by the application icon, and the
// native icon set (again once the platform window exists and after the window manager has mapped it).
void finishMainWindow(QQmlApplicationEngine &engine, const QElapsedTimer &sinceStart)
{
    const QList<QObject *> roots = engine.rootObjects();
    auto *window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.constFirst());
    if (!window)
        return;
    qInfo().noquote() << QStringLiteral("[APP] 主窗口已创建");
    afterFirstFrame(window, sinceStart);
    applyNativeWindowIcon(window);
    QTimer::singleShot(0, window, [window] { applyNativeWindowIcon(window); });
    QTimer::singleShot(500, window, [window] { applyNativeWindowIcon(window); });
}

} // namespace

int runApplication(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();

    if (!platform::isElevated()) {
        platform::showNotElevatedMessage();
        return platform::kNotElevatedExitCode;
    }

    const bool debuggerEnabled = qmlDebuggerExplicitlyEnabled();
    const bool debuggerFound = filterQmlDebuggerArguments(argc, argv, debuggerEnabled);

    // QApplication: the tray icon falls back to Qt Widgets where the desktop offers no native one
    // (an XEmbed tray on X11).
    QApplication app(argc, argv);
    const bool hiddenRequested =
        QCoreApplication::arguments().contains(QString::fromLatin1(platform::kAutostartArgument));
    setApplicationIdentity();

    // Before the log is opened: a second copy must neither drop the running copy's oversized log nor,
    // further down, clean up the routes of its acceleration.
    // The data folder first: without a runtime folder the hand-over channel lives in it.
    storage::ensurePrivateDirectory(GlobalData::dataDirectory());
    SingleInstance instance(QDir(GlobalData::dataDirectory()).filePath(QStringLiteral("instance.lock")));
    QString instanceError;
    SingleInstance::Claim claim = instance.claim(instanceError);

    openRuntimeLog(claim != SingleInstance::Claim::Secondary);
    if (claim == SingleInstance::Claim::Secondary) {
        if (const std::optional<int> exitCode = yieldToRunningCopy(instance, hiddenRequested, instanceError))
            return *exitCode;
        claim = SingleInstance::Claim::Primary;
    }
    if (claim == SingleInstance::Claim::LockFailed)
        qWarning().noquote() << QStringLiteral("[APP] 无法获取单实例锁：%1").arg(instanceError);
    else if (!instance.listen(instanceError))
        qWarning().noquote() << QStringLiteral("[APP] 无法监听再次启动的请求：%1").arg(instanceError);
    // First of the quit handlers: nobody serves the channel while the others run (the routes are
    // removed then), so a start meanwhile waits for this copy to end instead of asking it in vain.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &instance, &SingleInstance::stopListening);
    const net::ServiceAddress serviceAddress = net::serviceAddress();
    if (!serviceAddress.ignored.isEmpty())
        qWarning().noquote() << QStringLiteral("[APP] 已忽略系统配置 %1").arg(serviceAddress.ignored);
    qInfo().noquote() << net::describeServiceAddress(serviceAddress);
    if (!debuggerEnabled && debuggerFound)
        qInfo().noquote() << QStringLiteral(
            "[PERF] 已忽略 Qt Creator 注入的 QML Debugger；设置 NIMBRA_ENABLE_QML_DEBUGGER=1 可显式启用");
    watchTerminationSignals(app);

    // Before the first QSettings parses the file: an oversized one would hold the whole run hostage.
    storage::setAsideOversizedSettings(storage::defaultSettingsPath());
    // The settings hold the token and the device secret: private before anything is written to them.
    QSettings settings;
    storage::protectSettingsFile(settings);

    // The engine comes first so that its loader thread reads Main's documents while this thread makes
    // the back-end objects and reads the font list; it is still destroyed first, once the loop ends.
    auto engineOwner = std::make_unique<QQmlApplicationEngine>();
    QQmlApplicationEngine &engine = *engineOwner;
    reportEngineProblems(engine);
    std::unique_ptr<QQmlComponent> mainTypes = startLoadingMainDocument(engine);

    // The back-end objects, in creation order; they are destroyed in reverse order after the engine.
    // The service's address found above is the one every client uses.
    GlobalData *globalData = GlobalData::instance();
    BackendObjects objects(serviceAddress.url, globalData);
    const Backend &backend = objects.backend;
    Preferences &preferences = *objects.preferences;

    // Started hidden only where a tray can bring the window back; a desktop without one shows it.
    WindowStart windowStart{QSystemTrayIcon::isSystemTrayAvailable(), false, {}};
    windowStart.hidden = hiddenRequested && windowStart.trayAvailable;
    windowStart.geometry = startWindowGeometry(preferences.windowGeometry());
    if (hiddenRequested)
        qInfo().noquote() << (windowStart.hidden
                                  ? QStringLiteral("[APP] 后台启动：主窗口隐藏在系统托盘")
                                  : QStringLiteral("[APP] 后台启动：没有系统托盘，仍显示主窗口"));

    logSettingsStatus(settings);
    // The account client stores the session as it signs in or out; the state store reports both.
    QObject::connect(globalData, &GlobalData::accountChanged, &settings,
                     [&settings] { storage::saveSettings(settings); });

    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app,
                     [] { qInfo().noquote() << QStringLiteral("[APP] 事件循环即将退出"); });

    QTimer::singleShot(0, &app, [&backend] { issueStartupRequests(backend); });

    // The first text laid out would read it otherwise, after the loader thread is done.
    QFontDatabase::families();
    publishBackend(engine, backend, debuggerEnabled && debuggerFound, debuggerFound, windowStart);

    loadMainDocument(engine);
    mainTypes.reset();
    QObject::connect(&instance, &SingleInstance::activationRequested, &engine,
                     [&engine] { raiseMainWindow(engine); });

    finishMainWindow(engine, sinceStart);
    // Where the window is as the loop ends opens it next time; a maximised window keeps the earlier one.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&engine, &preferences] {
        const QList<QObject *> roots = engine.rootObjects();
        auto *window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.constFirst());
        if (window && window->windowStates() == Qt::WindowNoState)
            preferences.setWindowGeometry(window->geometry());
    });
    const int exitCode = QApplication::exec();
    // The window and its bindings go before the objects they show.
    engineOwner.reset();
    return exitCode;
}

} // namespace nimbra
