#include "secureexecution.h"

namespace nimbra::platform {

// Windows has no file capabilities: an elevated process was started by an administrator.
bool isSecureExecution()
{
    return false;
}

ProtectedFileStatus readRootOwnedFile(const std::string &, std::string &content, std::string &)
{
    content.clear();
    return ProtectedFileStatus::Missing;
}

} // namespace nimbra::platform
