// Purchase entries as the service could send them, through the preparation the purchase screen binds to.
// Besides crashes it checks the shape of the prepared record and the bounds the screen relies on.
#include "state/purchasepreparation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace nimbra::purchase;

namespace {

[[noreturn]] void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz_purchase: %s: %s\n", what, qPrintable(detail));
    std::abort();
}

const QVariantList &catalogue()
{
    static const QVariantList games = {
        QVariantMap{{"id", "lol"}, {"name", "英雄联盟"}, {"package_name", "com.tencent.lol"}},
        QVariantMap{{"id", 7}, {"title", "无包名"}},
    };
    return games;
}

void checkOptions(const QVariant &value, const QString &where)
{
    if (value.typeId() != QMetaType::QVariantList)
        fail("option list type", where);
    const QVariantList options = value.toList();
    if (options.size() > kMaxOptions)
        fail("too many options", where);
    for (const QVariant &option : options) {
        const QVariantMap map = option.toMap();
        const QVariant text = map.value("text");
        if (map.value("value").typeId() != QMetaType::QString || map.value("value").toString().isEmpty() ||
            text.typeId() != QMetaType::QString || text.toString().isEmpty())
            fail("option without value or text", where);
        if (map.contains("raw") && map.value("raw").typeId() != QMetaType::QVariantMap)
            fail("raw that is no map", where);
        if (map.size() != (map.contains("raw") ? 6 : 5) || !map.contains("ids") ||
            !map.contains("packageName") || !map.contains("gameId"))
            fail("option keys", QStringList(map.keys()).join(','));
    }
}

void checkPrepared(const QVariantMap &prepared)
{
    if (prepared.keys() != QStringList{"group", "private", "shared"})
        fail("prepared keys", QStringList(prepared.keys()).join(','));
    for (auto it = prepared.constBegin(); it != prepared.constEnd(); ++it) {
        const QVariantMap mode = it.value().toMap();
        if (mode.keys() !=
            QStringList{"gameOptions", "ipOptions", "products", "regionOptions", "teamOptions"})
            fail("mode keys", it.key());
        const QVariantList products = mode.value("products").toList();
        if (products.size() > kMaxProducts)
            fail("too many products", it.key());
        for (const QVariant &product : products) {
            if (product.typeId() != QMetaType::QVariantMap || product.toMap().isEmpty())
                fail("product that is no map", it.key());
        }
        for (const char *list : {"ipOptions", "regionOptions", "teamOptions", "gameOptions"})
            checkOptions(mode.value(list), it.key() + '/' + list);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QJsonDocument document = QJsonDocument::fromJson(input);
    if (document.isArray()) {
        // The game catalogue is the other input: it fills the game options of an entry without any.
        checkPrepared(preparePurchaseData({}, document.array().toVariantList()));
        return 0;
    }
    if (!document.isObject())
        return 0;
    const QVariantMap entry = document.object().toVariantMap();
    // The settings cache may hold the entry as JSON text; read back it must be the same entry. Only for
    // valid UTF-8: Qt's JSON parser lets some broken sequences through that a QString does not keep.
    const QString text = QString::fromUtf8(input);
    if (!entry.isEmpty() && text.toUtf8() == input && cachedEntryFromSettingsValue(text) != entry)
        fail("settings text form", QString::fromUtf8(input.left(200)));
    checkPrepared(preparePurchaseData(entry, {}));
    checkPrepared(preparePurchaseData(entry, catalogue()));
    const QVariantMap membership = extractMembership(entry);
    if (!membership.isEmpty() && !looksLikeMembership(membership))
        fail("membership", QStringList(membership.keys()).join(','));
    return 0;
}
