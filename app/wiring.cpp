#include "app/wiring.h"

#include "accel/acceleratorapi.h"
#include "accel/singboxmanager.h"
#include "account/authapi.h"
#include "app/accelerationsession.h"
#include "catalog/gamelistapi.h"
#include "net/httpmanager.h"
#include "purchase/qrcodegenerator.h"
#include "purchase/rechargeapi.h"
#include "state/globaldata.h"
#include "state/preferences.h"

#include <QCoreApplication>

namespace nimbra {

BackendObjects::BackendObjects(const QString &serviceUrl, GlobalData *data)
    : http(std::make_unique<HttpManager>(serviceUrl))
    , auth(std::make_unique<AuthApi>(serviceUrl))
    , gameList(std::make_unique<GameListApi>(serviceUrl))
    , accelerator(std::make_unique<AcceleratorApi>(serviceUrl))
    , recharge(std::make_unique<RechargeApi>(serviceUrl))
    , qrCode(std::make_unique<QrCodeGenerator>())
    , singBox(std::make_unique<SingBoxManager>())
    , preferences(std::make_unique<Preferences>())
    , backend{data,           http.get(),   auth.get(),    gameList.get(),   accelerator.get(),
              recharge.get(), qrCode.get(), singBox.get(), preferences.get()}
{
    singBox->setServiceUrl(serviceUrl);
    attachTransport(backend);
    connectSessionHandOver(backend);
    connectCatalogue(backend);
    connectPurchaseData(backend);
    session = std::make_unique<AccelerationSession>(backend);
    backend.session = session.get();
}

BackendObjects::~BackendObjects() = default;

void attachTransport(const Backend &backend)
{
    backend.auth->setHttpManager(backend.http);
    backend.gameList->setHttpManager(backend.http);
    backend.accelerator->setHttpManager(backend.http);
    backend.recharge->setHttpManager(backend.http);
}

void connectSessionHandOver(const Backend &backend)
{
    GlobalData *data = backend.data;
    AuthApi *auth = backend.auth;
    AcceleratorApi *accelerator = backend.accelerator;
    RechargeApi *recharge = backend.recharge;

    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, backend.singBox,
                     &SingBoxManager::shutdown);
    QObject::connect(auth, &AuthApi::authenticated, data,
                     [data, auth, accelerator, recharge](const QString &, const QString &phone, int userId,
                                                         int points, int vipNum) {
                         const qint64 guid = userId;
                         const QString deviceSecret = auth->deviceSecret();
                         accelerator->setSession(guid, deviceSecret, auth->deviceId());
                         // Also installs the signing session in the shared transport.
                         recharge->setSession(guid, deviceSecret, auth->deviceId());
                         data->setAuthenticated(phone, userId, points, vipNum);
                         recharge->loadPurchaseEntry(guid);
                         recharge->loadOrders(guid, 1, 20);
                         recharge->loadLeaderEntry(guid);
                     });
    QObject::connect(data, &GlobalData::accountChanged, accelerator, [data, accelerator] {
        if (!data->loggedIn())
            accelerator->clearSession();
    });
    QObject::connect(auth, &AuthApi::membershipDataReady, data, &GlobalData::setMembership);
}

void connectCatalogue(const Backend &backend)
{
    GlobalData *data = backend.data;
    QObject::connect(backend.gameList, &GameListApi::commonLoaded, data, &GlobalData::setCommonGames);
    QObject::connect(backend.gameList, &GameListApi::detailLoaded, data, &GlobalData::updateGameDetail);
    QObject::connect(backend.gameList, &GameListApi::pageLoaded, data,
                     [data](const QVariantList &games, const QVariantList &categories, int page, int pageSize,
                            int total, int totalPages,
                            bool) { data->setGames(games, categories, page, pageSize, total, totalPages); });
}

void connectPurchaseData(const Backend &backend)
{
    GlobalData *data = backend.data;
    RechargeApi *recharge = backend.recharge;
    QObject::connect(recharge, &RechargeApi::purchaseEntryLoaded, data,
                     [data](const QVariantMap &entry, qint64) { data->setPurchaseEntry(entry); });
    QObject::connect(recharge, &RechargeApi::publicPurchaseEntryLoaded, data,
                     [data](const QVariantMap &entry, qint64) { data->setPublicPurchaseEntry(entry); });
    QObject::connect(
        recharge, &RechargeApi::ordersLoaded, data,
        [data](const QVariantList &orders, int, int, int, bool, qint64) { data->setOrders(orders); });
    QObject::connect(recharge, &RechargeApi::orderDetailLoaded, data,
                     [data](const QVariantMap &order, qint64) { data->setOrderDetail(order); });
    QObject::connect(recharge, &RechargeApi::groupDetailLoaded, data,
                     [data](const QVariantMap &group, qint64) { data->setGroupDetail(group); });
    QObject::connect(recharge, &RechargeApi::leaderEntryLoaded, data,
                     [data, recharge](const QVariantMap &entry, qint64) {
                         data->setLeaderEntry(entry);
                         if (data->loggedIn() && entry.value(QStringLiteral("is_leader")).toBool())
                             recharge->loadLeaderTeams(data->userId(), 1, 20);
                     });
    QObject::connect(
        recharge, &RechargeApi::leaderTeamsLoaded, data,
        [data](const QVariantList &teams, int, int, int, bool, qint64) { data->setLeaderTeams(teams); });
    const auto teamDetail = [data](const QVariantMap &team, qint64) {
        data->setLeaderTeamDetail(team);
    };
    QObject::connect(recharge, &RechargeApi::leaderTeamDetailLoaded, data, teamDetail);
    QObject::connect(recharge, &RechargeApi::leaderTeamCreated, data, teamDetail);
    QObject::connect(recharge, &RechargeApi::payStatusUpdated, data,
                     [data](const QVariantMap &status, qint64) {
                         const QVariantMap membership = status.value(QStringLiteral("membership")).toMap();
                         if (!membership.isEmpty())
                             data->setMembership(membership);
                     });
}

void issueStartupRequests(const Backend &backend)
{
    backend.auth->refreshToken();
    backend.gameList->loadCommon();
    backend.gameList->loadPage(1, QString(), QString());
    backend.recharge->loadPublicPurchaseEntry();
}

} // namespace nimbra
