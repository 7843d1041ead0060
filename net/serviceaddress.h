#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Where the service's base URL comes from. A process started with raised rights (the installed client
// carries cap_net_admin) takes it only from the built-in value or the root-owned system configuration:
// whoever names the service decides which routes are added and how the core is configured.
namespace nimbra::net {

enum class ServiceAddressSource
{
    BuiltIn,
    Environment,  // NIMBRA_API_BASE_URL, honoured outside secure-execution mode only
    SystemConfig, // api_base_url= in /etc/nimbra/nimbra.conf
};

struct ServiceAddress
{
    QString url;
    ServiceAddressSource source = ServiceAddressSource::BuiltIn;
    QString ignored; // why the system configuration was passed over, for the log; empty when it was not
};

// Outside secure-execution mode: NIMBRA_API_BASE_URL, else the system configuration, else the built-in
// URL. In it: the system configuration, else the built-in URL.
ServiceAddress serviceAddress();

// Empty when url may name the service: https, or plain http to a loopback host (localhost, 127.0.0.0/8,
// ::1). Otherwise the reason, after "api_base_url" in a log line.
QString serviceUrlRefusal(const QString &url);

// One log line naming the source and the URL (without user information or query).
QString describeServiceAddress(const ServiceAddress &address);

// The value of `key` in "key=value" lines (white space around both trimmed, "#" starts a comment
// line, the last occurrence wins); nullopt when the key is absent.
std::optional<QString> configValue(const QByteArray &content, QLatin1StringView key);

} // namespace nimbra::net
