// Node-configuration answers and route records as the service could send them: the configuration taken
// from an answer's data, and the endpoint and node id a configuration request is made with.
#include "accel/acceleratorapi.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QStringList kEndpointKeys{QStringLiteral("web_url"),      QStringLiteral("webUrl"),
                                QStringLiteral("connect_host"), QStringLiteral("connectHost"),
                                QStringLiteral("host"),         QStringLiteral("address")};
const QStringList kNodeIdKeys = QStringList{QStringLiteral("node_id"), QStringLiteral("id")} + kEndpointKeys;

[[noreturn]] void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz_nodeconfig: %s: %s\n", what, qPrintable(detail));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QJsonDocument document = QJsonDocument::fromJson(input);
    if (!document.isObject())
        return 0;
    const QVariantMap map = document.toVariant().toMap();

    // The configuration is passed on unchanged: the `config` object when there is a non-empty one,
    // otherwise the whole data map.
    const QVariantMap config = AcceleratorApi::nodeConfigFromData(map);
    const QVariant member = map.value(QStringLiteral("config"));
    const bool wrapped = member.typeId() == QMetaType::QVariantMap && !member.toMap().isEmpty();
    if (config != (wrapped ? member.toMap() : map))
        fail("configuration", QString::fromUtf8(input));

    // The same map as a route record: a found endpoint always yields a node id, and the normalised
    // route asks for its configuration at its own web_url.
    const QString endpoint = AcceleratorApi::recursiveText(map, kEndpointKeys);
    const QString nodeId = AcceleratorApi::recursiveText(map, kNodeIdKeys);
    if (endpoint != endpoint.trimmed() || nodeId != nodeId.trimmed())
        fail("untrimmed text", endpoint + QLatin1Char('|') + nodeId);
    if (!endpoint.isEmpty() && nodeId.isEmpty())
        fail("endpoint without node id", endpoint);
    if (map.isEmpty())
        return 0;
    const QVariantMap route = AcceleratorApi::normalizeRoute(map, 0);
    if (AcceleratorApi::recursiveText(route, kEndpointKeys) != endpoint)
        fail("normalised endpoint", route.value(QStringLiteral("web_url")).toString());
    return 0;
}
