#include "routecommand.h"

namespace nimbra::platform {

std::optional<std::vector<OwnRoute>> listOwnRoutes(int *systemError)
{
    if (systemError)
        *systemError = 0;
    return std::vector<OwnRoute>();
}

} // namespace nimbra::platform
