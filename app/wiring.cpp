#include "app/wiring.h"

#include "accel/singboxmanager.h"
#include "account/authapi.h"
#include "catalog/gamelistapi.h"
#include "net/httpmanager.h"
#include "state/globaldata.h"

#include <QCoreApplication>

namespace nimbra {

void attachTransport(const Backend &backend)
{
    backend.auth->setHttpManager(backend.http);
    backend.gameList->setHttpManager(backend.http);
}

void connectSessionHandOver(const Backend &backend)
{
    GlobalData *data = backend.data;
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, backend.singBox,
                     &SingBoxManager::shutdown);
    QObject::connect(backend.auth, &AuthApi::authenticated, data,
                     [data](const QString &, const QString &phone, int userId, const QString &,
                            const QString &, int points,
                            int vipNum) { data->setAuthenticated(phone, userId, points, vipNum); });
    QObject::connect(backend.auth, &AuthApi::membershipDataReady, data, &GlobalData::setMembership);
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

void issueStartupRequests(const Backend &backend)
{
    backend.auth->refreshToken();
    backend.gameList->loadCommon();
    backend.gameList->loadPage(1, QString(), QString());
}

} // namespace nimbra
