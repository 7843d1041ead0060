#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The core's runtime configuration: the built-in template (local side: log, DNS, TUN inbound, routing)
// merged with the node configuration of the chosen route (remote endpoint and credentials). Pure functions
// so that the supervisor only stores and logs what they return.
namespace nimbra::accel {

inline constexpr QLatin1String kRuntimeConfigTemplatePath(":/data/config.json");

struct RuntimeConfigTemplate
{
    bool ok = false;
    QJsonObject config;
    QString errorMessage;
};

struct RuntimeConfigResult
{
    bool ok = false;
    // The merged configuration and its compact serialisation; both empty on failure.
    QJsonObject config;
    QByteArray compactJson;
    // IPv4 address of the TUN inbound without prefix, e.g. "172.19.0.1"; empty on failure.
    QString tunAddress;
    // Chinese text for lastError; empty on success.
    QString errorMessage;
    // Information lines for the runtime log, in order, free of credentials. A failure can come after a
    // line was due (DNS completion before validation), so they are to be written on failure too.
    QStringList logLines;
};

// Reads and parses the template; the error names the path as an absolute native path.
RuntimeConfigTemplate loadRuntimeConfigTemplate(const QString &path = QString(kRuntimeConfigTemplatePath));

// Everything prepareRuntimeConfig needs, in the order its failures are reported: parse the node JSON,
// require its outbounds, load the template, then buildRuntimeConfig.
RuntimeConfigResult
buildRuntimeConfigFromJson(const QByteArray &nodeJson,
                           const QString &templatePath = QString(kRuntimeConfigTemplatePath));

// Merge, DNS completion, validation and TUN address over an already loaded template.
RuntimeConfigResult buildRuntimeConfig(const QJsonObject &templateConfig, const QJsonObject &nodeConfig);
RuntimeConfigResult buildRuntimeConfig(const QJsonObject &templateConfig, const QVariantMap &nodeConfig);

// Every non-empty trimmed string value of `key` at any depth, in document order. A value that is an object
// stands for its `server` (sing-box's long form of a resolver reference).
QStringList collectStringProperties(const QJsonValue &value, const QString &key);

// The normalised IPv4 address of the last `tun` inbound whose first address is IPv4; empty when none.
QString tunIpv4Address(const QJsonObject &config);

} // namespace nimbra::accel
