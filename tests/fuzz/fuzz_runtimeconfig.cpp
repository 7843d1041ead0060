// Node configurations as the service could send them, through the runtime configuration builder.
// Besides crashes it checks that results are consistent and that no credential reaches a log line.
#include "accel/runtimeconfig.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace nimbra::accel;

namespace {

const QString kMarker = QStringLiteral("N1mbraFuzzCredential");

[[noreturn]] void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz_runtimeconfig: %s: %s\n", what, qPrintable(detail));
    std::abort();
}

const QJsonObject &builtInTemplate()
{
    static const QJsonObject config = [] {
        const RuntimeConfigTemplate loaded = loadRuntimeConfigTemplate();
        if (!loaded.ok)
            fail("template", loaded.errorMessage);
        return loaded.config;
    }();
    return config;
}

// Every non-empty credential value replaced by the marker, at any depth.
QJsonValue markCredentials(const QJsonValue &value)
{
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            array.replace(i, markCredentials(array.at(i)));
        return array;
    }
    if (!value.isObject())
        return value;
    QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const bool credential = it.key() == QLatin1String("password") || it.key() == QLatin1String("uuid");
        if (credential && it.value().isString() && !it.value().toString().isEmpty())
            *it = kMarker;
        else
            *it = markCredentials(it.value());
    }
    return object;
}

void checkConsistent(const RuntimeConfigResult &result)
{
    if (!result.ok) {
        if (result.errorMessage.isEmpty() || !result.config.isEmpty() || !result.compactJson.isEmpty() ||
            !result.tunAddress.isEmpty())
            fail("failure result", result.errorMessage);
        return;
    }
    if (!result.errorMessage.isEmpty())
        fail("success with message", result.errorMessage);
    if (QJsonDocument::fromJson(result.compactJson).object() != result.config)
        fail("compact JSON", QString::fromUtf8(result.compactJson));
    if (QHostAddress(result.tunAddress).protocol() != QAbstractSocket::IPv4Protocol)
        fail("TUN address", result.tunAddress);
    if (result.config.value(QStringLiteral("outbounds")).toArray().size() !=
        builtInTemplate().value(QStringLiteral("outbounds")).toArray().size())
        fail("outbound count", QString::fromUtf8(result.compactJson));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const RuntimeConfigResult fromText = buildRuntimeConfigFromJson(input);
    checkConsistent(fromText);

    const QJsonDocument document = QJsonDocument::fromJson(input);
    if (!document.isObject())
        return 0;
    const QJsonObject node = document.object();

    // The UI holds the node configuration as a variant map before handing it back as JSON.
    const RuntimeConfigResult fromMap = buildRuntimeConfig(builtInTemplate(), node.toVariantMap());
    checkConsistent(fromMap);
    if (fromMap.ok != fromText.ok || fromMap.errorMessage != fromText.errorMessage)
        fail("variant map result differs",
             fromMap.errorMessage + QStringLiteral(" / ") + fromText.errorMessage);

    if (input.contains(kMarker.toLatin1()))
        return 0;
    const RuntimeConfigResult marked =
        buildRuntimeConfig(builtInTemplate(), markCredentials(node).toObject());
    checkConsistent(marked);
    if (marked.errorMessage.contains(kMarker))
        fail("credential in error message", marked.errorMessage);
    for (const QString &line : marked.logLines) {
        if (line.contains(kMarker))
            fail("credential in log line", line);
    }
    return 0;
}
