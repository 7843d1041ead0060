#include "net/serviceendpoint.h"

#include "net/requestenvelope.h"

ServiceEndpoint::ServiceEndpoint(const QString &baseUrl)
    : m_baseUrl(nimbra::net::normalizedBaseUrl(baseUrl))
{}

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
