#pragma once

#include <QObject>
#include <QString>

// The state store every screen binds to, and the one home of the service's fixed vocabulary.
class GlobalData : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString apiBaseUrl READ apiBaseUrl CONSTANT)
    Q_PROPERTY(QString passportSmsSendPath READ passportSmsSendPath CONSTANT)
    Q_PROPERTY(QString passportSmsVerifyPath READ passportSmsVerifyPath CONSTANT)
    Q_PROPERTY(QString passportSmsRegisterPath READ passportSmsRegisterPath CONSTANT)
    Q_PROPERTY(QString passportSmsLoginPath READ passportSmsLoginPath CONSTANT)
    Q_PROPERTY(QString passportSmsRefreshPath READ passportSmsRefreshPath CONSTANT)
    Q_PROPERTY(QString passportResetPasswordSendPath READ passportResetPasswordSendPath CONSTANT)
    Q_PROPERTY(QString passportResetPasswordPath READ passportResetPasswordPath CONSTANT)
    Q_PROPERTY(QString smsSceneLogin READ smsSceneLogin CONSTANT)
    Q_PROPERTY(QString smsSceneRegister READ smsSceneRegister CONSTANT)
    Q_PROPERTY(QString smsSceneReset READ smsSceneReset CONSTANT)
    Q_PROPERTY(QString operationSendCode READ operationSendCode CONSTANT)
    Q_PROPERTY(QString operationLoginSms READ operationLoginSms CONSTANT)
    Q_PROPERTY(QString operationRegister READ operationRegister CONSTANT)
    Q_PROPERTY(QString operationLoginPassword READ operationLoginPassword CONSTANT)
    Q_PROPERTY(QString operationRefresh READ operationRefresh CONSTANT)
    Q_PROPERTY(QString operationSendResetCode READ operationSendResetCode CONSTANT)
    Q_PROPERTY(QString operationResetPassword READ operationResetPassword CONSTANT)
    Q_PROPERTY(QString vipEntryPath READ vipEntryPath CONSTANT)
    Q_PROPERTY(QString vipCreateOrderPath READ vipCreateOrderPath CONSTANT)
    Q_PROPERTY(QString vipPayStatusPath READ vipPayStatusPath CONSTANT)
    Q_PROPERTY(QString vipOrdersPath READ vipOrdersPath CONSTANT)
    Q_PROPERTY(QString vipCancelOrderPath READ vipCancelOrderPath CONSTANT)
    Q_PROPERTY(QString operationVipEntry READ operationVipEntry CONSTANT)
    Q_PROPERTY(QString operationVipCreateOrder READ operationVipCreateOrder CONSTANT)
    Q_PROPERTY(QString operationVipPayStatus READ operationVipPayStatus CONSTANT)
    Q_PROPERTY(QString operationVipOrders READ operationVipOrders CONSTANT)
    Q_PROPERTY(QString operationVipCancelOrder READ operationVipCancelOrder CONSTANT)
    Q_PROPERTY(QString gameListPagePath READ gameListPagePath CONSTANT)
    Q_PROPERTY(QString gameListCommonPath READ gameListCommonPath CONSTANT)
    Q_PROPERTY(QString gameListDetailPath READ gameListDetailPath CONSTANT)
    Q_PROPERTY(QString acceleratorPcConfigPath READ acceleratorPcConfigPath CONSTANT)
    Q_PROPERTY(QString nodeConfigAesKeyBase64 READ nodeConfigAesKeyBase64 CONSTANT)

public:
    static GlobalData *instance();

    // Service vocabulary: paths are relative to the API base URL, without a trailing slash.
    QString apiBaseUrl() const { return QStringLiteral("https://api.nimbra.invalid"); }
    QString passportSmsSendPath() const { return QStringLiteral("/passport/sms/send"); }
    QString passportSmsVerifyPath() const { return QStringLiteral("/passport/sms/verify"); }
    QString passportSmsRegisterPath() const { return QStringLiteral("/passport/sms/register"); }
    QString passportSmsLoginPath() const { return QStringLiteral("/passport/sms/login"); }
    QString passportSmsRefreshPath() const { return QStringLiteral("/passport/sms/refresh"); }
    QString passportResetPasswordSendPath() const
    {
        return QStringLiteral("/passport/sms/appresetpassword/send");
    }
    QString passportResetPasswordPath() const { return QStringLiteral("/passport/sms/appresetpassword"); }
    QString smsSceneLogin() const { return QStringLiteral("login"); }
    QString smsSceneRegister() const { return QStringLiteral("register"); }
    QString smsSceneReset() const { return QStringLiteral("reset"); }
    QString operationSendCode() const { return QStringLiteral("send_code"); }
    QString operationLoginSms() const { return QStringLiteral("login_sms"); }
    QString operationRegister() const { return QStringLiteral("register"); }
    QString operationLoginPassword() const { return QStringLiteral("login_password"); }
    QString operationRefresh() const { return QStringLiteral("refresh"); }
    QString operationSendResetCode() const { return QStringLiteral("send_reset_code"); }
    QString operationResetPassword() const { return QStringLiteral("reset_password"); }
    QString vipEntryPath() const { return QStringLiteral("/api/vip/entry"); }
    QString vipCreateOrderPath() const { return QStringLiteral("/api/vip/order/wechat-pay"); }
    QString vipPayStatusPath() const { return QStringLiteral("/api/vip/order/pay-status"); }
    QString vipOrdersPath() const { return QStringLiteral("/api/vip/orders"); }
    QString vipCancelOrderPath() const { return QStringLiteral("/api/vip/order/cancel"); }
    QString operationVipEntry() const { return QStringLiteral("vip_entry"); }
    QString operationVipCreateOrder() const { return QStringLiteral("vip_create_order"); }
    QString operationVipPayStatus() const { return QStringLiteral("vip_pay_status"); }
    QString operationVipOrders() const { return QStringLiteral("vip_orders"); }
    QString operationVipCancelOrder() const { return QStringLiteral("vip_cancel_order"); }
    QString gameListPagePath() const { return QStringLiteral("/api/user/gamelist/pc/page"); }
    QString gameListCommonPath() const { return QStringLiteral("/api/user/gamelist/common"); }
    QString gameListDetailPath() const { return QStringLiteral("/api/user/gamelist/pc/detail"); }
    QString acceleratorPcConfigPath() const { return QStringLiteral("/api/user/points/node-lists"); }
    QString nodeConfigAesKeyBase64() const
    {
        return QStringLiteral("Q2hhbmdlTWVQbGVhc2VEdW1teUtleUZvclRlc3RzMDA=");
    }

    // Settings keys of the stored account session (default QSettings of the application).
    QString settingsDeviceIdKey() const { return QStringLiteral("auth/device_id"); }
    QString settingsDeviceSecretKey() const { return QStringLiteral("auth/device_secret"); }
    QString settingsTokenKey() const { return QStringLiteral("auth/token"); }
    QString settingsPhoneKey() const { return QStringLiteral("auth/phone"); }
    QString settingsAutoLoginKey() const { return QStringLiteral("auth/auto_login"); }

    // The service's English failure texts as the Chinese messages users see; unknown texts unchanged.
    // Uses no state, so the network thread may call it.
    QString translateServerMessage(const QString &message) const;

private:
    explicit GlobalData(QObject *parent = nullptr);
};
