#pragma once

#include "net/serviceendpoint.h"
#include <QHash>

#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QVariantMap>

// The account client: SMS codes, SMS and password sign-in, registration, password reset and the silent
// token refresh at start. Owns the installation's device id and the stored sign-in material.
class AuthApi : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString baseUrl READ baseUrl WRITE setBaseUrl NOTIFY baseUrlChanged)
    Q_PROPERTY(QString deviceId READ deviceId CONSTANT)
    Q_PROPERTY(
        bool autoLoginEnabled READ autoLoginEnabled WRITE setAutoLoginEnabled NOTIFY autoLoginEnabledChanged)

public:
    explicit AuthApi(const QString &baseUrl = {}, QObject *parent = nullptr);

    void setHttpManager(HttpManager *manager);
    QString baseUrl() const { return m_endpoint.baseUrl(); }
    void setBaseUrl(const QString &url);
    QString deviceId() const { return m_deviceId; }
    bool autoLoginEnabled() const;
    // The signed-in session's signing key, for the clients app/ equips at sign-in; empty when signed
    // out. Deliberately neither a property nor a signal argument: it never reaches the interface.
    QString deviceSecret() const { return m_deviceSecret; }

    Q_INVOKABLE void sendCode(const QString &phone, const QString &scene);
    Q_INVOKABLE void sendResetCode(const QString &phone);
    Q_INVOKABLE void verifySms(const QString &phone, const QString &code, bool rememberMe = false);
    Q_INVOKABLE void registerAccount(const QString &phone, const QString &code, const QString &password,
                                     const QString &passwordConfirm, const QString &verifyCode = QString());
    Q_INVOKABLE void loginPassword(const QString &phone, const QString &password, bool rememberMe = false);
    Q_INVOKABLE void resetPassword(const QString &phone, const QString &code, const QString &password,
                                   const QString &passwordConfirm);
    Q_INVOKABLE void refreshToken();
    // Sign-out: forgets the stored session; sign-in answers still on their way are dropped.
    Q_INVOKABLE void clearSession();
    // The user gave up on the sign-in or registration in flight (closed the dialog): its answer, success
    // or refusal, is dropped. A new attempt gives up on the one before it by itself.
    Q_INVOKABLE void abandonSignIn();
    Q_INVOKABLE void setAutoLoginEnabled(bool enabled);

signals:
    void baseUrlChanged();
    void autoLoginEnabledChanged();
    void codeSent(const QString &scene);
    // A sign-in, registration or silent refresh succeeded; deviceSecret() holds the session's key.
    void authenticated(const QString &operation, const QString &phone, int userId, int points, int vipNum);
    void membershipDataReady(const QVariantMap &membership);
    void passwordResetSucceeded(const QString &phone);
    void requestFailed(const QString &operation, const QString &message);

private:
    struct RequestMeta
    {
        QString phone;
        QString scene;
        quint64 session = 0;
    };

    quint64 postJson(const QString &operation, const QString &path, const QVariantMap &body,
                     bool withDeviceId, const QString &phone, const QString &scene = QString());
    void handleResponse(quint64 requestId, const QString &operation, bool success, int httpStatus,
                        const QVariantMap &response, const QString &errorMessage);
    // One successful answer and what its request recorded.
    struct Reply
    {
        QString operation;
        RequestMeta meta;
        QVariantMap response;
    };
    // How an operation's answer is handled: by whom, whether it signs in (and so is dropped after a
    // sign-out) and whether it is a sign-in attempt the user waits for.
    struct Route
    {
        void (AuthApi::*handler)(const Reply &) = nullptr;
        bool signsIn = false;
        bool attempt = false;
    };
    static Route routeOf(const QString &operation);
    void onCodeSent(const Reply &reply);
    void onPasswordReset(const Reply &reply);
    void onSignedIn(const Reply &reply);
    void saveSession(const QString &phone, const QVariantMap &data);
    void removeStoredSession();

    QSettings m_settings;
    QString m_deviceId;
    QString m_deviceSecret;
    ServiceEndpoint m_endpoint;
    QHash<quint64, RequestMeta> m_pending;
    // Advanced by every sign-out; sign-in answers to requests of an earlier session are dropped.
    quint64 m_session = 1;
    // The one sign-in or registration the user is waiting for (0: none); answers to any other are
    // dropped, so an abandoned attempt can neither sign in nor show its refusal.
    quint64 m_signInAttempt = 0;
};
