// The application's back-end objects, created and connected as the program does it, against one
// service base URL.
#pragma once

#include "accel/acceleratorapi.h"
#include "accel/singboxmanager.h"
#include "account/authapi.h"
#include "app/accelerationsession.h"
#include "app/wiring.h"
#include "catalog/gamelistapi.h"
#include "net/httpmanager.h"
#include "purchase/qrcodegenerator.h"
#include "purchase/rechargeapi.h"
#include "state/globaldata.h"
#include "state/preferences.h"

#include <QtCore/qtestsupport_core.h>

#include <memory>

struct WiredBackend
{
    explicit WiredBackend(const QString &baseUrl)
    {
        http = std::make_unique<HttpManager>(baseUrl);
        auth = std::make_unique<AuthApi>(baseUrl);
        gameList = std::make_unique<GameListApi>(baseUrl);
        accelerator = std::make_unique<AcceleratorApi>(baseUrl);
        recharge = std::make_unique<RechargeApi>(baseUrl);
        singBox = std::make_unique<SingBoxManager>();
        singBox->setServiceUrl(baseUrl);
        backend = {&data,          http.get(), auth.get(),    gameList.get(), accelerator.get(),
                   recharge.get(), &qrCode,    singBox.get(), &preferences};
        nimbra::attachTransport(backend);
        nimbra::connectSessionHandOver(backend);
        nimbra::connectCatalogue(backend);
        nimbra::connectPurchaseData(backend);
        session = std::make_unique<AccelerationSession>(backend);
        backend.session = session.get();
    }

    // Route list, configuration and game detail of the current game have arrived.
    bool settled() const
    {
        return QTest::qWaitFor(
            [this] {
                return !session->routesLoading() && !session->routeConfigLoading() &&
                       !session->gameDetailLoading();
            },
            10000);
    }

    GlobalData data;
    std::unique_ptr<HttpManager> http;
    std::unique_ptr<AuthApi> auth;
    std::unique_ptr<GameListApi> gameList;
    std::unique_ptr<AcceleratorApi> accelerator;
    std::unique_ptr<RechargeApi> recharge;
    QrCodeGenerator qrCode;
    std::unique_ptr<SingBoxManager> singBox;
    Preferences preferences;
    nimbra::Backend backend;
    std::unique_ptr<AccelerationSession> session;
};
