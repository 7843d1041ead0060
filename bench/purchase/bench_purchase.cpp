// Purchase preparation benchmark: preparePurchaseData over the dev service's entry (saved fixture) and over
// a 1 MB entry grown from it, against the floor of parsing the same JSON into a variant map, which every
// entry costs before it reaches the state store. Both sides alternate so that load drift hits them alike;
// medians are reported.
#include "purchase/qrcodegenerator.h"
#include "state/purchasepreparation.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace nimbra::purchase;

namespace {

constexpr int kDefaultRuns = 51;
constexpr qsizetype kLargeEntryBytes = 1024 * 1024;
constexpr double kTargetMs = 20.0;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Copies of the private node types and of the group games with fresh keys until the entry reaches `bytes`.
QJsonObject grown(QJsonObject entry, qsizetype bytes)
{
    QJsonObject privateMode = entry.value("private").toObject();
    QJsonObject groupMode = entry.value("group").toObject();
    const QJsonArray nodeTypes = privateMode.value("node_types").toArray();
    const QJsonArray games = groupMode.value("available_games").toArray();
    QJsonArray grownNodeTypes = nodeTypes;
    QJsonArray grownGames = games;
    for (int round = 1; QJsonDocument(entry).toJson(QJsonDocument::Compact).size() < bytes; ++round) {
        for (const QJsonValue &value : nodeTypes) {
            QJsonObject nodeType = value.toObject();
            nodeType.insert("node_type_id", nodeType.value("node_type_id").toInt() + 100 * round);
            nodeType.insert("node_type_key",
                            nodeType.value("node_type_key").toString() + QString::number(round));
            grownNodeTypes.append(nodeType);
        }
        for (const QJsonValue &value : games) {
            QJsonObject game = value.toObject();
            game.insert("package_name", game.value("package_name").toString() + QString::number(round));
            grownGames.append(game);
        }
        privateMode.insert("node_types", grownNodeTypes);
        groupMode.insert("available_games", grownGames);
        entry.insert("private", privateMode);
        entry.insert("group", groupMode);
    }
    return entry;
}

struct Result
{
    qsizetype bytes = 0;
    double prepareMs = 0;
    double floorMs = 0;
};

// Freeing a parsed megabyte leaves glibc thousands of small chunks that its next large allocation
// consolidates; one such allocation between the sides settles them, so that neither is charged for what the
// other freed (without handing memory back to the system, which would charge page faults instead).
void settleHeap()
{
    void *volatile block = std::malloc(64 * 1024);
    std::free(block);
}

// A result every run must reach, so that neither side can be optimised away.
qsizetype g_sink = 0;

Result measure(const char *name, const QByteArray &json, int runs)
{
    const QVariantMap entry = QJsonDocument::fromJson(json).object().toVariantMap();
    std::vector<double> prepareTimes, parseTimes;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        {
            settleHeap();
            timer.start();
            const QVariantMap parsed = QJsonDocument::fromJson(json).object().toVariantMap();
            parseTimes.push_back(timer.nsecsElapsed() / 1e6);
            g_sink += parsed.size();
        }
        settleHeap();
        timer.start();
        const QVariantMap prepared = preparePurchaseData(entry, {});
        prepareTimes.push_back(timer.nsecsElapsed() / 1e6);
        g_sink += prepared.size();
        if (run == 0)
            std::fprintf(stderr, "%s: %s\n", name, qPrintable(preparedLogLine(prepared, 0)));
    }
    return {json.size(), median(prepareTimes), median(parseTimes)};
}

void print(const char *name, const Result &result)
{
    std::printf("purchase_%s_entry_bytes: %lld\n", name, static_cast<long long>(result.bytes));
    std::printf("purchase_%s_prepare_ms: %.3f\n", name, result.prepareMs);
    std::printf("purchase_%s_parse_floor_ms: %.3f\n", name, result.floorMs);
    std::printf("purchase_%s_ratio: %.2f\n", name, result.prepareMs / result.floorMs);
}

} // namespace

// A payment link as QR code picture, against the floor of writing a blank picture of the same size as a
// PNG data URL (what is left is the encoder itself).
void measureQrCode(int runs)
{
    const QString link = QStringLiteral("weixin://wxpay/bizpayurl?pr=Ab12Cd34Ef56");
    const QrCodeGenerator generator;
    std::vector<double> generate;
    std::vector<double> floor;
    qsizetype size = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const QString url = generator.toDataUrl(link, 240, 4);
        generate.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        size = url.size();
        g_sink += size;

        timer.restart();
        QImage blank(232, 232, QImage::Format_Grayscale8);
        blank.fill(Qt::white);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        blank.save(&buffer, "PNG");
        const QString floorUrl =
            QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
        floor.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        g_sink += floorUrl.size();
    }
    const double generateMs = median(generate);
    const double floorMs = median(floor);
    std::printf("qr_link_bytes: %lld\n", static_cast<long long>(link.toUtf8().size()));
    std::printf("qr_generate_ms: %.3f\n", generateMs);
    std::printf("qr_png_floor_ms: %.3f\n", floorMs);
    std::printf("qr_ratio: %.2f\n", generateMs / floorMs);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = kDefaultRuns;
    const QStringList arguments = app.arguments();
    const qsizetype runsAt = arguments.indexOf("--runs");
    if (runsAt >= 0 && runsAt + 1 < arguments.size())
        runs = std::max(1, arguments.at(runsAt + 1).toInt());

    QFile file(QStringLiteral(NIMBRA_PURCHASE_FIXTURE));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "nimbra_bench_purchase: cannot read %s: %s\n", NIMBRA_PURCHASE_FIXTURE,
                     qPrintable(file.errorString()));
        return 1;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject()) {
        std::fprintf(stderr, "nimbra_bench_purchase: %s holds no JSON object\n", NIMBRA_PURCHASE_FIXTURE);
        return 1;
    }
    const QByteArray devservice = document.toJson(QJsonDocument::Compact);
    const QByteArray large =
        QJsonDocument(grown(document.object(), kLargeEntryBytes)).toJson(QJsonDocument::Compact);

    const Result devserviceResult = measure("devservice", devservice, runs);
    const Result largeResult = measure("large", large, runs);
    print("devservice", devserviceResult);
    print("large", largeResult);
    measureQrCode(runs);
    std::printf("purchase_runs: %d\n", runs);
    std::printf("purchase_targets: devservice_prepare_ms<%.0f large_prepare_ms<%.0f qr_generate_ms<2\n",
                kTargetMs, kTargetMs);
    std::fprintf(stderr, "sink %lld\n", static_cast<long long>(g_sink));
    return 0;
}
