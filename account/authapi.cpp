#include "account/authapi.h"

#include "net/httpmanager.h"
#include "net/requestenvelope.h"
#include "state/globaldata.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

namespace {

constexpr qsizetype kMaxDeviceIdLength = 128;

// Service numbers are read only from JSON numbers; a number sent as text counts as 0.
int jsonInt(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toInt();
    default:
        return 0;
    }
}

QString jsonString(const QVariant &value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QVariantMap extractMembership(const QVariantMap &data)
{
    for (const char *key : {"membership", "member", "vip"}) {
        const QVariant value = data.value(QLatin1String(key));
        if (value.typeId() == QMetaType::QVariantMap && !value.toMap().isEmpty())
            return value.toMap();
    }
    for (const char *key : {"vip_expire_at", "expire_at", "end_time", "valid_until", "expire_time"}) {
        if (data.contains(QLatin1String(key)))
            return data;
    }
    return {};
}

} // namespace

AuthApi::AuthApi(const QString &baseUrl, QObject *parent)
    : QObject(parent)
    , m_endpoint(baseUrl)
{

    const GlobalData *data = GlobalData::instance();
    m_deviceId = m_settings.value(data->settingsDeviceIdKey()).toString();
    if (m_deviceId.isEmpty() || m_deviceId.size() > kMaxDeviceIdLength) {
        m_deviceId = QStringLiteral("nimbra-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        m_settings.setValue(data->settingsDeviceIdKey(), m_deviceId);
    }
}

void AuthApi::setHttpManager(HttpManager *manager)
{
    if (!m_endpoint.attach(manager, this, &AuthApi::handleResponse))
        return;
    if (manager)
        manager->setDeviceId(m_deviceId);
}

void AuthApi::setBaseUrl(const QString &url)
{
    if (m_endpoint.setBaseUrl(url))
        emit baseUrlChanged();
}

bool AuthApi::autoLoginEnabled() const
{
    return m_settings.value(GlobalData::instance()->settingsAutoLoginKey(), true).toBool();
}

void AuthApi::setAutoLoginEnabled(bool enabled)
{
    if (enabled == autoLoginEnabled())
        return;
    m_settings.setValue(GlobalData::instance()->settingsAutoLoginKey(), enabled);
    if (!enabled)
        removeStoredSession();
    emit autoLoginEnabledChanged();
}

void AuthApi::sendCode(const QString &phone, const QString &scene)
{
    const GlobalData *data = GlobalData::instance();
    // Only registration has its own code; every other scene (reset included) asks for a sign-in code.
    const QString sentScene =
        scene == data->smsSceneRegister() ? data->smsSceneRegister() : data->smsSceneLogin();
    postJson(data->operationSendCode(), data->passportSmsSendPath(),
             {{QStringLiteral("phone"), phone.trimmed()}, {QStringLiteral("scene"), sentScene}}, false, phone,
             sentScene);
}

void AuthApi::sendResetCode(const QString &phone)
{
    const GlobalData *data = GlobalData::instance();
    postJson(data->operationSendResetCode(), data->passportResetPasswordSendPath(),
             {{QStringLiteral("phone"), phone.trimmed()}}, false, phone, data->smsSceneReset());
}

void AuthApi::verifySms(const QString &phone, const QString &code, bool rememberMe)
{
    const GlobalData *data = GlobalData::instance();
    m_signInAttempt = postJson(data->operationLoginSms(), data->passportSmsVerifyPath(),
                               {{QStringLiteral("phone"), phone.trimmed()},
                                {QStringLiteral("code"), code.trimmed()},
                                {QStringLiteral("remember_me"), rememberMe}},
                               true, phone);
}

void AuthApi::registerAccount(const QString &phone, const QString &code, const QString &password,
                              const QString &passwordConfirm, const QString &verifyCode)
{
    const GlobalData *data = GlobalData::instance();
    m_signInAttempt = postJson(data->operationRegister(), data->passportSmsRegisterPath(),
                               {{QStringLiteral("phone"), phone.trimmed()},
                                {QStringLiteral("code"), code.trimmed()},
                                {QStringLiteral("password"), password},
                                {QStringLiteral("password_confirm"), passwordConfirm},
                                {QStringLiteral("verify_code"), verifyCode}},
                               true, phone);
}

void AuthApi::loginPassword(const QString &phone, const QString &password, bool rememberMe)
{
    const GlobalData *data = GlobalData::instance();
    m_signInAttempt = postJson(data->operationLoginPassword(), data->passportSmsLoginPath(),
                               {{QStringLiteral("phone"), phone.trimmed()},
                                {QStringLiteral("password"), password},
                                {QStringLiteral("remember_me"), rememberMe}},
                               true, phone);
}

void AuthApi::resetPassword(const QString &phone, const QString &code, const QString &password,
                            const QString &passwordConfirm)
{
    const GlobalData *data = GlobalData::instance();
    postJson(data->operationResetPassword(), data->passportResetPasswordPath(),
             {{QStringLiteral("phone"), phone.trimmed()},
              {QStringLiteral("code"), code.trimmed()},
              {QStringLiteral("password"), password},
              {QStringLiteral("password_confirm"), passwordConfirm}},
             false, phone);
}

void AuthApi::refreshToken()
{
    const GlobalData *data = GlobalData::instance();
    const QString token = m_settings.value(data->settingsTokenKey()).toString();
    if (!autoLoginEnabled() || token.isEmpty())
        return;
    postJson(data->operationRefresh(), data->passportSmsRefreshPath(), {{QStringLiteral("token"), token}},
             true, m_settings.value(data->settingsPhoneKey()).toString());
}

void AuthApi::clearSession()
{
    ++m_session;
    m_deviceSecret.clear();
    removeStoredSession();
}

void AuthApi::abandonSignIn()
{
    if (m_signInAttempt == 0)
        return;
    qInfo().noquote() << QStringLiteral("[APP] 已放弃登录请求 #%1，其回调将被忽略").arg(m_signInAttempt);
    m_signInAttempt = 0;
}

void AuthApi::removeStoredSession()
{
    const GlobalData *data = GlobalData::instance();
    m_settings.remove(data->settingsTokenKey());
    m_settings.remove(data->settingsDeviceSecretKey());
    m_settings.remove(data->settingsPhoneKey());
}

quint64 AuthApi::postJson(const QString &operation, const QString &path, const QVariantMap &body,
                          bool withDeviceId, const QString &phone, const QString &scene)
{
    if (!m_endpoint.http()) {
        emit requestFailed(operation, QStringLiteral("网络管理器未初始化"));
        return 0;
    }
    const QByteArray bytes = QJsonDocument(QJsonObject::fromVariantMap(body)).toJson(QJsonDocument::Compact);
    const quint64 requestId = m_endpoint.http()->postJson(operation, path, bytes, 0, false, withDeviceId);
    m_pending.insert(requestId, {phone.trimmed(), scene, m_session});
    return requestId;
}

void AuthApi::handleResponse(quint64 requestId, const QString &operation, bool success, int,
                             const QVariantMap &response, const QString &errorMessage)
{
    const auto found = m_pending.constFind(requestId);
    if (found == m_pending.constEnd())
        return;
    const RequestMeta meta = found.value();
    m_pending.erase(found);

    const Route route = routeOf(operation);
    if (!route.handler)
        return;
    // A sign-in or refresh that the user signed out of while it was on its way must not sign in again.
    if (route.signsIn && meta.session != m_session) {
        qInfo().noquote() << QStringLiteral("[APP] 忽略退出登录前发出的登录回调 #%1 op=%2")
                                 .arg(QString::number(requestId), operation);
        return;
    }
    if (route.attempt) {
        if (requestId != m_signInAttempt) {
            qInfo().noquote() << QStringLiteral("[APP] 忽略已放弃的登录回调 #%1 op=%2")
                                     .arg(QString::number(requestId), operation);
            return;
        }
        m_signInAttempt = 0;
    }
    if (!success) {
        emit requestFailed(operation, errorMessage.isEmpty() ? QStringLiteral("请求失败") : errorMessage);
        return;
    }
    (this->*route.handler)({operation, meta, response});
}

AuthApi::Route AuthApi::routeOf(const QString &operation)
{
    // The operation names are the vocabulary's, known once GlobalData exists.
    static const QHash<QString, Route> routes = [] {
        const GlobalData *globals = GlobalData::instance();
        return QHash<QString, Route>{
            {globals->operationSendCode(), {&AuthApi::onCodeSent, false, false}},
            {globals->operationSendResetCode(), {&AuthApi::onCodeSent, false, false}},
            {globals->operationResetPassword(), {&AuthApi::onPasswordReset, false, false}},
            {globals->operationLoginSms(), {&AuthApi::onSignedIn, true, true}},
            {globals->operationLoginPassword(), {&AuthApi::onSignedIn, true, true}},
            {globals->operationRegister(), {&AuthApi::onSignedIn, true, true}},
            {globals->operationRefresh(), {&AuthApi::onSignedIn, true, false}},
        };
    }();
    return routes.value(operation);
}

void AuthApi::onCodeSent(const Reply &reply)
{
    emit codeSent(reply.meta.scene);
}

void AuthApi::onPasswordReset(const Reply &reply)
{
    emit passwordResetSucceeded(reply.meta.phone);
}

void AuthApi::onSignedIn(const Reply &reply)
{
    const QString &operation = reply.operation;
    const QVariant dataValue = reply.response.value(QStringLiteral("data"));
    const QVariantMap data = dataValue.typeId() == QMetaType::QVariantMap ? dataValue.toMap() : QVariantMap();
    // Without a signing key every signed request would be refused: the session is unusable.
    if (jsonString(data.value(QStringLiteral("device_secret"))).trimmed().isEmpty()) {
        emit requestFailed(operation, QStringLiteral("服务器未返回设备密钥，请重新登录"));
        return;
    }
    const QString phone = reply.meta.phone.isEmpty()
                              ? m_settings.value(GlobalData::instance()->settingsPhoneKey()).toString()
                              : reply.meta.phone;
    saveSession(phone, data);
    m_deviceSecret = jsonString(data.value(QStringLiteral("device_secret")));
    emit authenticated(operation, phone, jsonInt(data.value(QStringLiteral("user_id"))),
                       jsonInt(data.value(QStringLiteral("points"))),
                       jsonInt(data.value(QStringLiteral("vip_num"))));
    const QVariantMap membership = extractMembership(data);
    if (!membership.isEmpty())
        emit membershipDataReady(membership);
}

void AuthApi::saveSession(const QString &phone, const QVariantMap &data)
{
    if (!autoLoginEnabled()) {
        removeStoredSession();
        return;
    }
    const GlobalData *globals = GlobalData::instance();
    const QString secret = jsonString(data.value(QStringLiteral("device_secret")));
    const QString token = jsonString(data.value(QStringLiteral("token")));
    if (!secret.isEmpty())
        m_settings.setValue(globals->settingsDeviceSecretKey(), secret);
    if (!token.isEmpty())
        m_settings.setValue(globals->settingsTokenKey(), token);
    if (!phone.isEmpty())
        m_settings.setValue(globals->settingsPhoneKey(), phone);
}
