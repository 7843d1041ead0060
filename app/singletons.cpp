#include "app/singletons.h"

#include "app/startup.h"
#include "state/preferences.h"

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

void setEngineSingletons(QQmlEngine &engine, Preferences *preferences, WindowStart windowStart)
{
    auto &table = publishedByEngine();
    if (!table.contains(&engine))
        QObject::connect(&engine, &QObject::destroyed, [key = &engine] { publishedByEngine().remove(key); });
    Published &published = table[&engine];
    delete published.windowStart;
    published.preferences = preferences;
    published.windowStart =
        new WindowStartState(windowStart.trayAvailable, windowStart.hidden, windowStart.geometry, &engine);
    // Owned by app/ (the preferences) and by the engine as a QObject child (the window's start).
    if (preferences)
        QJSEngine::setObjectOwnership(preferences, QJSEngine::CppOwnership);
    QJSEngine::setObjectOwnership(published.windowStart, QJSEngine::CppOwnership);
}

Preferences *enginePreferences(const QQmlEngine *engine)
{
    return publishedByEngine().value(engine).preferences;
}

WindowStartState *engineWindowStart(const QQmlEngine *engine)
{
    return publishedByEngine().value(engine).windowStart;
}

} // namespace nimbra
