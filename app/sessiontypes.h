#pragma once

// Compiled into the QML module Nimbra: the session's parts, made in the back-end library, named so
// documents can declare them (`required property RunLogModel log`). The models can be made in QML
// too, for the tests and the screenshot scenes.

#include "app/accelerationcontroller.h"
#include "app/gamechoice.h"
#include "app/latencyhistorymodel.h"
#include "app/routelistmodel.h"
#include "app/routemeasurement.h"
#include "app/routesource.h"
#include "app/runlogmodel.h"

#include <QtQml/qqmlregistration.h>

struct RunLogModelType
{
    Q_GADGET
    QML_FOREIGN(RunLogModel)
    QML_NAMED_ELEMENT(RunLogModel)
};

struct LatencyHistoryModelType
{
    Q_GADGET
    QML_FOREIGN(LatencyHistoryModel)
    QML_NAMED_ELEMENT(LatencyHistoryModel)
};

struct RunLogEntryType
{
    Q_GADGET
    QML_FOREIGN(RunLogEntry)
    QML_VALUE_TYPE(runLogEntry)
};

struct LatencyPointType
{
    Q_GADGET
    QML_FOREIGN(LatencyPoint)
    QML_VALUE_TYPE(latencyPoint)
};

struct RouteListModelType
{
    Q_GADGET
    QML_FOREIGN(RouteListModel)
    QML_NAMED_ELEMENT(RouteListModel)
};

struct RouteItemType
{
    Q_GADGET
    QML_FOREIGN(RouteItem)
    QML_VALUE_TYPE(routeItem)
};

struct RouteMeasurementType
{
    Q_GADGET
    QML_FOREIGN(RouteMeasurement)
    QML_NAMED_ELEMENT(RouteMeasurement)
    QML_UNCREATABLE("The session measures the routes.")
};

struct GameChoiceType
{
    Q_GADGET
    QML_FOREIGN(GameChoice)
    QML_NAMED_ELEMENT(GameChoice)
    QML_UNCREATABLE("The session owns the game choice.")
};

struct RouteSourceType
{
    Q_GADGET
    QML_FOREIGN(RouteSource)
    QML_NAMED_ELEMENT(RouteSource)
    QML_UNCREATABLE("The session owns the route source.")
};

struct AccelerationControllerType
{
    Q_GADGET
    QML_FOREIGN(AccelerationController)
    QML_NAMED_ELEMENT(AccelerationController)
    QML_UNCREATABLE("The session owns the acceleration controller.")
};
