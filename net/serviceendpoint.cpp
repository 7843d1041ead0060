#include "net/serviceendpoint.h"

#include "net/requestenvelope.h"
#include "state/globaldata.h"

ServiceEndpoint::ServiceEndpoint()
{
    const QByteArray fromEnvironment = qgetenv("NIMBRA_API_BASE_URL");
    m_baseUrl =
        fromEnvironment.isEmpty() ? GlobalData::instance()->apiBaseUrl() : QString::fromUtf8(fromEnvironment);
}

bool ServiceEndpoint::setBaseUrl(const QString &url)
{
    const QString normalized = nimbra::net::normalizedBaseUrl(url);
    if (normalized.isEmpty() || normalized == m_baseUrl)
        return false;
    m_baseUrl = normalized;
    if (m_http)
        m_http->setBaseUrl(normalized);
    return true;
}
