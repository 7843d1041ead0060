// The application's back-end objects, assembled as the program does it, against one service base URL,
// with a state store of their own.
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

// Made before the objects that report to it.
struct OwnStateStore
{
    GlobalData data;
};

struct WiredBackend : OwnStateStore, nimbra::BackendObjects
{
    explicit WiredBackend(const QString &baseUrl)
        : nimbra::BackendObjects(baseUrl, &data)
    {}

    // Route list, configuration and game detail of the current game have arrived.
    bool settled() const
    {
        return QTest::qWaitFor(
            [this] {
                return !session->routeSource()->routesLoading() &&
                       !session->routeSource()->routeConfigLoading() &&
                       !session->routeSource()->gameDetailLoading();
            },
            10000);
    }
};
