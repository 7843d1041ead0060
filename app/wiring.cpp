#include "app/wiring.h"

#include "account/authapi.h"
#include "net/httpmanager.h"
#include "state/globaldata.h"

namespace nimbra {

void attachTransport(const Backend &backend)
{
    backend.auth->setHttpManager(backend.http);
}

void connectSessionHandOver(const Backend &backend)
{
    GlobalData *data = backend.data;
    QObject::connect(backend.auth, &AuthApi::authenticated, data,
                     [data](const QString &, const QString &phone, int userId, const QString &,
                            const QString &, int points,
                            int vipNum) { data->setAuthenticated(phone, userId, points, vipNum); });
    QObject::connect(backend.auth, &AuthApi::membershipDataReady, data, &GlobalData::setMembership);
}

void issueStartupRequests(const Backend &backend)
{
    backend.auth->refreshToken();
}

} // namespace nimbra
