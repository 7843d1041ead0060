#include "net/serviceaddress.h"

#include "net/requestenvelope.h"
#include "platform/secureexecution.h"
#include "state/globaldata.h"

#include <QHostAddress>
#include <QUrl>

namespace nimbra::net {
namespace {

// The system configuration's URL, or an empty text with the reason it was not used.
QString systemConfigUrl(QString &ignored)
{
    std::string content;
    std::string reason;
    const QString path = QString::fromLatin1(platform::kSystemConfigPath);
    switch (platform::readRootOwnedFile(platform::kSystemConfigPath, content, reason)) {
    case platform::ProtectedFileStatus::Missing:
        return {};
    case platform::ProtectedFileStatus::Untrusted:
    case platform::ProtectedFileStatus::Unreadable:
        ignored = QStringLiteral("%1: %2").arg(path, QString::fromStdString(reason));
        return {};
    case platform::ProtectedFileStatus::Ok:
        break;
    }
    const std::optional<QString> value =
        configValue(QByteArray::fromStdString(content), QLatin1StringView("api_base_url"));
    if (!value)
        return {};
    const QString url = normalizedBaseUrl(*value);
    if (const QString refusal = serviceUrlRefusal(url); !refusal.isEmpty()) {
        ignored = QStringLiteral("%1: api_base_url %2").arg(path, refusal);
        return {};
    }
    return url;
}

} // namespace

QString serviceUrlRefusal(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (parsed.scheme() != QLatin1String("https") && parsed.scheme() != QLatin1String("http")))
        return QStringLiteral("is not an http(s) URL");
    if (parsed.scheme() == QLatin1String("https"))
        return {};
    // Plain http carries the session token and the node credentials readable on the way; only a
    // service on this machine (the dev service) may do without TLS.
    const QString host = parsed.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback())
        return {};
    return QStringLiteral("is not https (plain http only to a loopback host)");
}

ServiceAddress serviceAddress()
{
    ServiceAddress address;
    if (!platform::isSecureExecution()) {
        const QString fromEnvironment = normalizedBaseUrl(qEnvironmentVariable("NIMBRA_API_BASE_URL"));
        if (!fromEnvironment.isEmpty()) {
            address.url = fromEnvironment;
            address.source = ServiceAddressSource::Environment;
            return address;
        }
    }
    address.url = systemConfigUrl(address.ignored);
    if (!address.url.isEmpty()) {
        address.source = ServiceAddressSource::SystemConfig;
        return address;
    }
    address.url = GlobalData::instance()->apiBaseUrl();
    if (const QString refusal = serviceUrlRefusal(address.url); !refusal.isEmpty()) {
        // Nothing to fall back to: no service rather than one reached in the clear.
        address.ignored = QStringLiteral("built-in %1 %2").arg(address.url, refusal);
        address.url.clear();
    }
    return address;
}

QString describeServiceAddress(const ServiceAddress &address)
{
    QString source;
    switch (address.source) {
    case ServiceAddressSource::BuiltIn:
        source = QStringLiteral("built-in");
        break;
    case ServiceAddressSource::Environment:
        source = QStringLiteral("NIMBRA_API_BASE_URL");
        break;
    case ServiceAddressSource::SystemConfig:
        source = QString::fromLatin1(platform::kSystemConfigPath);
        break;
    }
    const QString url =
        QUrl(address.url).toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
    return QStringLiteral("[APP] 服务地址 source=%1 url=%2").arg(source, url);
}

std::optional<QString> configValue(const QByteArray &content, QLatin1StringView key)
{
    std::optional<QString> value;
    for (const QByteArray &rawLine : content.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith('#') || equals < 0)
            continue;
        if (line.left(equals).trimmed() == QByteArrayView(key.data(), key.size()))
            value = QString::fromUtf8(line.mid(equals + 1).trimmed());
    }
    return value;
}

} // namespace nimbra::net
