#pragma once

#include "app/accelerationsession.h"

#include <QtQml/qqml.h>

// The session is made in the back-end library; the module names it so documents can declare it.
struct AccelerationSessionType
{
    Q_GADGET
    QML_FOREIGN(AccelerationSession)
    QML_NAMED_ELEMENT(AccelerationSession)
    QML_UNCREATABLE("The application creates the session.")
};
