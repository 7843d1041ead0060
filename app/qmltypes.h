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

// The back-end objects are made by app/; the module names their types so documents can declare them
// and qmllint and the compiler know their members.
struct AccelerationSessionType
{
    Q_GADGET
    QML_FOREIGN(AccelerationSession)
    QML_NAMED_ELEMENT(AccelerationSession)
    QML_UNCREATABLE("The application creates the session.")
};

struct GlobalDataType
{
    Q_GADGET
    QML_FOREIGN(GlobalData)
    QML_NAMED_ELEMENT(GlobalData)
    QML_UNCREATABLE("The application creates the state store.")
};

struct AuthApiType
{
    Q_GADGET
    QML_FOREIGN(AuthApi)
    QML_NAMED_ELEMENT(AuthApi)
    QML_UNCREATABLE("The application creates the service clients.")
};

struct GameListApiType
{
    Q_GADGET
    QML_FOREIGN(GameListApi)
    QML_NAMED_ELEMENT(GameListApi)
    QML_UNCREATABLE("The application creates the service clients.")
};

struct RechargeApiType
{
    Q_GADGET
    QML_FOREIGN(RechargeApi)
    QML_NAMED_ELEMENT(RechargeApi)
    QML_UNCREATABLE("The application creates the service clients.")
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
    QML_UNCREATABLE("The application creates the generator.")
};

struct SingBoxManagerType
{
    Q_GADGET
    QML_FOREIGN(SingBoxManager)
    QML_NAMED_ELEMENT(SingBoxManager)
    QML_UNCREATABLE("The application creates the core's supervisor.")
};

struct AppSingleton
{
    Q_GADGET
    QML_FOREIGN(nimbra::AppObjects)
    QML_NAMED_ELEMENT(App)
    QML_SINGLETON

public:
    static nimbra::AppObjects *create(QQmlEngine *engine, QJSEngine *) { return nimbra::engineApp(engine); }
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
