#pragma once

#include <QString>
#include <QVersionNumber>

// The core's configuration format moves with its version: the runtime configuration uses the typed DNS
// servers, route.default_domain_resolver and domain_resolver, all of sing-box 1.12.0, which an older
// core refuses with a decode error. The core is asked for its version first, so the user is told why.
namespace nimbra::accel {

inline const QVersionNumber kMinimumCoreVersion(1, 12, 0);

// The version in the output of the core's `version` command ("sing-box version 1.12.3", a pre-release
// suffix ignored); null when there is none.
QVersionNumber parseCoreVersion(const QString &output);

// Empty when a core that printed `output` may be used; otherwise the text for lastError.
QString coreVersionRefusal(const QString &output);

} // namespace nimbra::accel
