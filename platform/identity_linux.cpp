#include "identity.h"

namespace nimbra::platform {

void setProcessAppUserModelId(const char *) {}

NativeIconResult applyNativeWindowIcon(std::uintptr_t)
{
    return {};
}

} // namespace nimbra::platform
