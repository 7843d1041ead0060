#pragma once

// Compiled into the QML module Nimbra (not nimbra_core): the back-end types documents declare, and the
// module's C++ singletons, each the object app/ set up for the engine that asks.

#include "app/accelerationsession.h"
#include "app/singletons.h"
#include "purchase/qrcodegenerator.h"
#include "purchase/rechargeapi.h"
#include "state/preferences.h"

#include <QQmlEngine>
#include <QtQml/qqmlregistration.h>

// The session is made in the back-end library; the module names it so documents can declare it.
struct AccelerationSessionType
{
    Q_GADGET
    QML_FOREIGN(AccelerationSession)
    QML_NAMED_ELEMENT(AccelerationSession)
    QML_UNCREATABLE("The application creates the session.")
};

struct RechargeApiType
{
    Q_GADGET
    QML_FOREIGN(RechargeApi)
    QML_NAMED_ELEMENT(RechargeApi)
    QML_UNCREATABLE("The application creates the purchase client.")
};

struct PaymentOrderType
{
    Q_GADGET
    QML_FOREIGN(PaymentOrder)
    QML_NAMED_ELEMENT(PaymentOrder)
    QML_UNCREATABLE("The purchase client makes its payment.")
};

struct QrCodeGeneratorType
{
    Q_GADGET
    QML_FOREIGN(QrCodeGenerator)
    QML_NAMED_ELEMENT(QrCodeGenerator)
    QML_UNCREATABLE("The application makes the QR code generator.")
};

struct PreferencesSingleton
{
    Q_GADGET
    QML_FOREIGN(Preferences)
    QML_NAMED_ELEMENT(Preferences)
    QML_SINGLETON

public:
    static Preferences *create(QQmlEngine *engine, QJSEngine *) { return nimbra::enginePreferences(engine); }
};

struct WindowStartSingleton
{
    Q_GADGET
    QML_FOREIGN(nimbra::WindowStartState)
    QML_NAMED_ELEMENT(WindowStart)
    QML_SINGLETON

public:
    static nimbra::WindowStartState *create(QQmlEngine *engine, QJSEngine *)
    {
        return nimbra::engineWindowStart(engine);
    }
};
