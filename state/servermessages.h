#pragma once

#include <QString>

namespace nimbra {

// The service's English failure texts as the Chinese messages users see; unknown texts come back
// unchanged. A plain function of its argument: the network thread calls it for every refused request.
QString translateServerMessage(const QString &message);

} // namespace nimbra
