#pragma once

#include <QHash>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

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
    Q_PROPERTY(bool loggedIn READ loggedIn NOTIFY accountChanged)
    Q_PROPERTY(QString userPhone READ userPhone NOTIFY accountChanged)
    Q_PROPERTY(int userId READ userId NOTIFY accountChanged)
    Q_PROPERTY(int points READ points NOTIFY accountChanged)
    Q_PROPERTY(int authVipNum READ authVipNum NOTIFY accountChanged)
    Q_PROPERTY(QVariantList commonGames READ commonGames NOTIFY commonGamesChanged)
    Q_PROPERTY(bool commonGamesLoaded READ commonGamesLoaded NOTIFY commonGamesChanged)
    Q_PROPERTY(QVariantMap recentBoostedGame READ recentBoostedGame NOTIFY recentBoostedGameChanged)
    Q_PROPERTY(QVariantList games READ games NOTIFY gamesChanged)
    Q_PROPERTY(bool gamePageLoaded READ gamePageLoaded NOTIFY gamesChanged)
    Q_PROPERTY(QVariantList gameCategories READ gameCategories NOTIFY gamesChanged)
    Q_PROPERTY(int gamePage READ gamePage NOTIFY gamesChanged)
    Q_PROPERTY(int gamePageSize READ gamePageSize NOTIFY gamesChanged)
    Q_PROPERTY(int gameTotal READ gameTotal NOTIFY gamesChanged)
    Q_PROPERTY(int gameTotalPages READ gameTotalPages NOTIFY gamesChanged)
    Q_PROPERTY(QVariantMap purchaseEntry READ purchaseEntry NOTIFY purchaseEntryChanged)
    Q_PROPERTY(QVariantMap preparedPurchaseData READ preparedPurchaseData NOTIFY preparedPurchaseDataChanged)
    Q_PROPERTY(QVariantMap membership READ membership NOTIFY membershipChanged)
    Q_PROPERTY(QVariantList orders READ orders NOTIFY ordersChanged)
    Q_PROPERTY(QVariantMap orderDetail READ orderDetail NOTIFY orderDetailChanged)
    Q_PROPERTY(QVariantMap groupDetail READ groupDetail NOTIFY groupDetailChanged)
    Q_PROPERTY(QVariantMap leaderEntry READ leaderEntry NOTIFY leaderEntryChanged)
    Q_PROPERTY(QVariantList leaderTeams READ leaderTeams NOTIFY leaderTeamsChanged)
    Q_PROPERTY(QVariantMap leaderTeamDetail READ leaderTeamDetail NOTIFY leaderTeamDetailChanged)

public:
    // The application uses the one instance(); tests construct their own to check restoring.
    explicit GlobalData(QObject *parent = nullptr);
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

    // Account, catalogue and purchase state (read-only for the UI; changed through the setters).
    bool loggedIn() const { return m_loggedIn; }
    const QString &userPhone() const { return m_userPhone; }
    int userId() const { return m_userId; }
    int points() const { return m_points; }
    int authVipNum() const { return m_authVipNum; }
    const QVariantList &commonGames() const { return m_commonGames; }
    bool commonGamesLoaded() const { return m_commonGamesLoaded; }
    const QVariantMap &recentBoostedGame() const { return m_recentBoostedGame; }
    const QVariantList &games() const { return m_games; }
    bool gamePageLoaded() const { return m_gamePageLoaded; }
    const QVariantList &gameCategories() const { return m_gameCategories; }
    int gamePage() const { return m_gamePage; }
    int gamePageSize() const { return m_gamePageSize; }
    int gameTotal() const { return m_gameTotal; }
    int gameTotalPages() const { return m_gameTotalPages; }
    const QVariantMap &purchaseEntry() const { return m_purchaseEntry; }
    const QVariantMap &preparedPurchaseData() const { return m_preparedPurchaseData; }
    const QVariantMap &membership() const { return m_membership; }
    const QVariantList &orders() const { return m_orders; }
    const QVariantMap &orderDetail() const { return m_orderDetail; }
    const QVariantMap &groupDetail() const { return m_groupDetail; }
    const QVariantMap &leaderEntry() const { return m_leaderEntry; }
    const QVariantList &leaderTeams() const { return m_leaderTeams; }
    const QVariantMap &leaderTeamDetail() const { return m_leaderTeamDetail; }

    // Copies a text for the user through what the application installed (the desktop's clipboard is
    // the interface process's, not the state store's): false for an empty text or with nothing
    // installed.
    Q_INVOKABLE bool copyToClipboard(const QString &text) const;
    using ClipboardWriter = bool (*)(const QString &text);
    static void setClipboardWriter(ClipboardWriter writer);
    Q_INVOKABLE QString savedGameRouteSelection(const QString &gameId) const;
    Q_INVOKABLE void saveRecentBoostedGame(const QVariantMap &game);
    Q_INVOKABLE void saveGameRouteSelection(const QString &gameId, const QString &routeKey);
    Q_INVOKABLE void setPreparedPurchaseData(const QVariantMap &data);
    Q_INVOKABLE void clearSessionData();

    // Where the small state files live: the app-local data location, else the app data location,
    // else ~/.nimbra.
    static QString dataDirectory();

    // The catalogue results (lists are replaced wholesale; the loaded flags only go to true).
    void setCommonGames(const QVariantList &games);
    void setGames(const QVariantList &games, const QVariantList &categories, int page, int pageSize,
                  int total, int totalPages);
    // Merges a game detail into every matching record of both lists.
    void updateGameDetail(const QVariantMap &detail);

    // The signed-in account: signed in exactly when userId > 0. Merges vip_num/is_vip into the membership.
    void setAuthenticated(const QString &phone, int userId, int points, int vipNum);
    // A non-empty map is merged key by key; an empty map resets to vip_num 0 / is_vip false.
    void setMembership(const QVariantMap &membership);

    // The purchase catalogue: prepared into per-mode options for the purchase screen; the public one is
    // cached in the settings store for signed-out starts.
    void setPurchaseEntry(const QVariantMap &entry);
    void setPublicPurchaseEntry(const QVariantMap &entry);

    void setOrders(const QVariantList &orders);
    void setOrderDetail(const QVariantMap &detail);
    void setGroupDetail(const QVariantMap &detail);
    void setLeaderEntry(const QVariantMap &entry);
    void setLeaderTeams(const QVariantList &teams);
    void setLeaderTeamDetail(const QVariantMap &detail);

    // The service's English failure texts as the Chinese messages users see (nimbra::net's table).
    QString translateServerMessage(const QString &message) const;

signals:
    void trace(const QString &message);
    void accountChanged();
    void commonGamesChanged();
    void recentBoostedGameChanged();
    void gamesChanged();
    void purchaseEntryChanged();
    void preparedPurchaseDataChanged();
    void membershipChanged();
    void ordersChanged();
    void orderDetailChanged();
    void groupDetailChanged();
    void leaderEntryChanged();
    void leaderTeamsChanged();
    void leaderTeamDetailChanged();

private:
    void restoreLocalState();
    void reprepareWithGames(const QVariantList &games);

    bool m_loggedIn = false;
    QString m_userPhone;
    int m_userId = 0;
    int m_points = 0;
    int m_authVipNum = 0;
    QVariantList m_commonGames;
    bool m_commonGamesLoaded = false;
    QVariantMap m_recentBoostedGame;
    QHash<QString, QString> m_routeSelections;
    QVariantList m_games;
    bool m_gamePageLoaded = false;
    QVariantList m_gameCategories;
    int m_gamePage = 1;
    int m_gamePageSize = 12;
    int m_gameTotal = 0;
    int m_gameTotalPages = 1;
    QVariantMap m_publicPurchaseEntry;
    QVariantMap m_purchaseEntry;
    QVariantMap m_preparedPurchaseData;
    QVariantMap m_membership;
    QVariantList m_orders;
    QVariantMap m_orderDetail;
    QVariantMap m_groupDetail;
    QVariantMap m_leaderEntry;
    QVariantList m_leaderTeams;
    QVariantMap m_leaderTeamDetail;
    QSettings m_settings;
};
