#include "secureexecution.h"

namespace nimbra::platform {

// Windows has no file capabilities: an elevated process was started by an administrator.
bool isSecureExecution()
{
    return false;
}

// Never called there (isSecureExecution is false), and the pinned search path is a Linux one.
std::vector<std::string> hardenEnvironment()
{
    return {};
}

ProtectedFileStatus readRootOwnedFile(const std::string &, std::string &content, std::string &)
{
    content.clear();
    return ProtectedFileStatus::Missing;
}

} // namespace nimbra::platform
