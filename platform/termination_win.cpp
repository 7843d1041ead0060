#include "termination.h"

namespace nimbra::platform {

int openTerminationNotifier()
{
    return -1;
}

int readTerminationNotification(int)
{
    return 0;
}

} // namespace nimbra::platform
