#pragma once

#include <QObject>
#include <QRect>
#include <QString>

// The user's choices on the settings page and the home page that outlive a run: the theme, the
// acceleration switches, the mode and the dual-network switch, kept in the default settings under
// "ui/". Start at login is not a stored value: it is whether the system's autostart entry exists.
class Preferences : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool dawn READ dawn WRITE setDawn NOTIFY changed)
    Q_PROPERTY(bool smartRoute READ smartRoute WRITE setSmartRoute NOTIFY changed)
    Q_PROPERTY(bool reconnect READ reconnect WRITE setReconnect NOTIFY changed)
    Q_PROPERTY(QString mode READ mode WRITE setMode NOTIFY changed)
    Q_PROPERTY(bool dualNetwork READ dualNetwork WRITE setDualNetwork NOTIFY changed)
    Q_PROPERTY(bool autoStart READ autoStart NOTIFY autoStartChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY autoStartChanged)

public:
    static inline const QString kDawnKey = QStringLiteral("ui/dawn");
    static inline const QString kSmartRouteKey = QStringLiteral("ui/smart_route");
    static inline const QString kReconnectKey = QStringLiteral("ui/reconnect");
    static inline const QString kModeKey = QStringLiteral("ui/mode");
    static inline const QString kDualNetworkKey = QStringLiteral("ui/dual_network");
    static inline const QString kWindowGeometryKey = QStringLiteral("ui/window_geometry");

    // Reads the stored choices (a missing or unusable value gives its default) and whether the
    // autostart entry exists.
    explicit Preferences(QObject *parent = nullptr);

    bool dawn() const { return m_dawn; }
    void setDawn(bool value) { store(m_dawn, value, kDawnKey); }
    bool smartRoute() const { return m_smartRoute; }
    void setSmartRoute(bool value) { store(m_smartRoute, value, kSmartRouteKey); }
    bool reconnect() const { return m_reconnect; }
    void setReconnect(bool value) { store(m_reconnect, value, kReconnectKey); }
    QString mode() const { return m_mode; }
    // Only one of the three mode labels is taken.
    void setMode(const QString &value);
    bool dualNetwork() const { return m_dualNetwork; }
    void setDualNetwork(bool value) { store(m_dualNetwork, value, kDualNetworkKey); }
    bool autoStart() const { return m_autoStart; }
    QString lastError() const { return m_lastError; }
    // The window's last geometry while it was neither maximised nor full screen; invalid when none.
    QRect windowGeometry() const { return m_windowGeometry; }
    void setWindowGeometry(const QRect &value);

    // Writes or removes the autostart entry for this executable. False with `lastError` when the
    // system refused; `autoStart` then still tells what is there.
    Q_INVOKABLE bool setAutoStart(bool enabled);

signals:
    void changed();
    void autoStartChanged();

private:
    void store(bool &member, bool value, const QString &key);
    void save(const QString &key, const QVariant &value);

    bool m_dawn = false;
    bool m_smartRoute = true;
    bool m_reconnect = true;
    QString m_mode;
    bool m_dualNetwork = false;
    bool m_autoStart = false;
    QString m_lastError;
    QRect m_windowGeometry;
};
