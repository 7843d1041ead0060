#include "app/singletons.h"

#include "app/startup.h"
#include "app/wiring.h"
#include "state/preferences.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHash>
#include <QPointer>
#include <QQmlEngine>
#include <QSysInfo>

namespace nimbra {
namespace {

struct Published
{
    QPointer<Preferences> preferences;
    QPointer<WindowStartState> windowStart;
    QPointer<AppObjects> app;
};

// Engines live on the interface thread only.
QHash<const QQmlEngine *, Published> &publishedByEngine()
{
    static QHash<const QQmlEngine *, Published> table;
    return table;
}

} // namespace

WindowStartState::WindowStartState(bool trayAvailable, bool startHidden, QRect geometry, QObject *parent)
    : QObject(parent)
    , m_trayAvailable(trayAvailable)
    , m_startHidden(startHidden)
    , m_geometry(geometry)
{}

QString WindowStartState::systemName()
{
    const QString kernel = QSysInfo::kernelType();
    if (kernel == QLatin1String("winnt"))
        return QStringLiteral("Windows");
    if (kernel == QLatin1String("linux"))
        return QStringLiteral("Linux");
    if (kernel == QLatin1String("darwin"))
        return QStringLiteral("macOS");
    return QSysInfo::productType();
}

QString WindowStartState::version()
{
    return QStringLiteral(NIMBRA_VERSION);
}

AppObjects::AppObjects(const Backend &backend, bool debuggerActive, bool debuggerRequested, QObject *parent)
    : QObject(parent)
    , m_globalData(backend.data)
    , m_passportApi(backend.auth)
    , m_gameListApi(backend.gameList)
    , m_rechargeApi(backend.recharge)
    , m_qrCodeGenerator(backend.qrCode)
    , m_singBoxManager(backend.singBox)
    , m_accelerationSession(backend.session)
    , m_debuggerActive(debuggerActive)
    , m_debuggerRequested(debuggerRequested)
{}

bool copyToSystemClipboard(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text);
    return true;
}

void setEngineSingletons(QQmlEngine &engine, const Backend &backend, WindowStart windowStart,
                         bool debuggerActive, bool debuggerRequested)
{
    Preferences *preferences = backend.preferences;
    auto &table = publishedByEngine();
    if (!table.contains(&engine))
        QObject::connect(&engine, &QObject::destroyed, [key = &engine] { publishedByEngine().remove(key); });
    Published &published = table[&engine];
    delete published.windowStart;
    delete published.app;
    published.app = new AppObjects(backend, debuggerActive, debuggerRequested, &engine);
    published.preferences = preferences;
    published.windowStart =
        new WindowStartState(windowStart.trayAvailable, windowStart.hidden, windowStart.geometry, &engine);
    // Owned by app/ (the preferences and the back-end objects) and by the engine as QObject children
    // (the window's start and the App singleton).
    const QList<QObject *> owned{preferences,      backend.data,   backend.auth,    backend.gameList,
                                 backend.recharge, backend.qrCode, backend.singBox, backend.session};
    for (QObject *object : owned) {
        if (object)
            QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    }
    QJSEngine::setObjectOwnership(published.windowStart, QJSEngine::CppOwnership);
    QJSEngine::setObjectOwnership(published.app, QJSEngine::CppOwnership);
}

Preferences *enginePreferences(const QQmlEngine *engine)
{
    return publishedByEngine().value(engine).preferences;
}

AppObjects *engineApp(const QQmlEngine *engine)
{
    return publishedByEngine().value(engine).app;
}

WindowStartState *engineWindowStart(const QQmlEngine *engine)
{
    return publishedByEngine().value(engine).windowStart;
}

} // namespace nimbra
