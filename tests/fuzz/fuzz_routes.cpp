// Route-list answers as the service could send them, through the route normalisation. Besides crashes
// it checks the properties the route views rely on.
#include "accel/acceleratorapi.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what, const QVariant &detail)
{
    std::fprintf(stderr, "fuzz_routes: %s: %s\n", what,
                 QJsonDocument::fromVariant(detail).toJson(QJsonDocument::Compact).constData());
    std::abort();
}

void checkRoutes(const QVariantList &routes, qsizetype extracted)
{
    if (routes.size() > extracted)
        fail("more routes than records", routes);
    for (const QVariant &value : routes) {
        if (value.typeId() != QMetaType::QVariantMap)
            fail("route is no map", value);
        const QVariantMap route = value.toMap();
        for (const char *key : {"id", "name", "note"}) {
            if (route.value(QLatin1String(key)).typeId() != QMetaType::QString)
                fail("text field missing", value);
        }
        for (const char *key : {"cur", "cap", "latency"}) {
            if (route.value(QLatin1String(key)).typeId() != QMetaType::Int)
                fail("number field missing", value);
        }
        for (const char *key : {"full", "auto"}) {
            if (route.value(QLatin1String(key)).typeId() != QMetaType::Bool)
                fail("flag missing", value);
        }
        if (route.value(QStringLiteral("auto")).toBool())
            fail("auto route kept", value);
        if (route.value(QStringLiteral("name")).toString().trimmed().isEmpty())
            fail("route without name", value);
        const int cur = route.value(QStringLiteral("cur")).toInt();
        const int cap = route.value(QStringLiteral("cap")).toInt();
        if (cap >= 1 && cur >= cap && !route.value(QStringLiteral("full")).toBool())
            fail("occupied route not full", value);
        // A found endpoint replaces web_url trimmed; only a blank or non-text server value stays as sent.
        const QVariant endpoint = route.value(QStringLiteral("web_url"));
        if (endpoint.typeId() == QMetaType::QString) {
            const QString text = endpoint.toString();
            if (!text.trimmed().isEmpty() && text != text.trimmed())
                fail("endpoint not trimmed", value);
        }
    }
}

QStringList ids(const QVariantList &routes)
{
    QStringList result;
    for (const QVariant &route : routes)
        result.append(route.toMap().value(QStringLiteral("id")).toString());
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QJsonDocument document = QJsonDocument::fromJson(input);
    if (document.isNull())
        return 0;
    const QVariant value = document.toVariant();
    const QVariantList routes = AcceleratorApi::normalizeRoutes(value);
    checkRoutes(routes, AcceleratorApi::extractRouteValues(value).size());

    // The same answer sent as JSON text gives the same routes (only a list-level config differs). Text
    // that is no valid UTF-8 changes when decoded, and Qt's parser reads some of it differently then.
    const QString text = QString::fromUtf8(input);
    if (text.toUtf8() != input)
        return 0;
    const QVariantList fromText = AcceleratorApi::normalizeRoutes(text);
    if (ids(fromText) != ids(routes))
        fail("text answer differs", fromText);
    return 0;
}
