#include "state/preferences.h"

#include "platform/autostart.h"
#include "state/storedfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStringList>

namespace {

const QStringList &modes()
{
    static const QStringList list{QStringLiteral("智能匹配"), QStringLiteral("稳定优先"),
                                  QStringLiteral("极速电竞")};
    return list;
}

// A hand-edited or foreign value ("yes", 2, a list) is not a choice the user made: the default stays.
bool storedBool(const QSettings &settings, const QString &key, bool fallback)
{
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString();
    if (text == QLatin1String("true") || text == QLatin1String("false"))
        return text == QLatin1String("true");
    return fallback;
}

QString entryLocation()
{
    return QDir::toNativeSeparators(QString::fromStdString(nimbra::platform::autostartLocation()));
}

} // namespace

Preferences::Preferences(QObject *parent)
    : QObject(parent)
    , m_mode(modes().constFirst())
{
    const QSettings settings;
    m_dawn = storedBool(settings, kDawnKey, m_dawn);
    m_smartRoute = storedBool(settings, kSmartRouteKey, m_smartRoute);
    m_reconnect = storedBool(settings, kReconnectKey, m_reconnect);
    m_dualNetwork = storedBool(settings, kDualNetworkKey, m_dualNetwork);
    const QString mode = settings.value(kModeKey).toString();
    if (modes().contains(mode))
        m_mode = mode;
    m_autoStart = nimbra::platform::autostartPresent();
    const QVariant geometry = settings.value(kWindowGeometryKey);
    if (geometry.typeId() == QMetaType::QRect && geometry.toRect().isValid())
        m_windowGeometry = geometry.toRect();
}

void Preferences::setWindowGeometry(const QRect &value)
{
    if (value == m_windowGeometry || !value.isValid())
        return;
    m_windowGeometry = value;
    save(kWindowGeometryKey, value);
}

void Preferences::setMode(const QString &value)
{
    if (value == m_mode || !modes().contains(value))
        return;
    m_mode = value;
    save(kModeKey, value);
}

void Preferences::store(bool &member, bool value, const QString &key)
{
    if (member == value)
        return;
    member = value;
    save(key, value);
}

void Preferences::save(const QString &key, const QVariant &value)
{
    QSettings settings;
    settings.setValue(key, value);
    nimbra::storage::saveSettings(settings);
    emit changed();
}

bool Preferences::setAutoStart(bool enabled)
{
    std::string error;
    const bool done =
        enabled ? nimbra::platform::writeAutostart(
                      QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdString(), error)
                : nimbra::platform::removeAutostart(error);
    m_lastError = done ? QString() : QString::fromStdString(error);
    m_autoStart = nimbra::platform::autostartPresent();
    if (done)
        qInfo().noquote() << QStringLiteral("[APP] 开机自启动已%1 entry=%2")
                                 .arg(enabled ? QStringLiteral("开启") : QStringLiteral("关闭"),
                                      entryLocation());
    else
        qWarning().noquote()
            << QStringLiteral("[APP] 开机自启动设置失败 entry=%1 error=%2").arg(entryLocation(), m_lastError);
    emit autoStartChanged();
    return done;
}
