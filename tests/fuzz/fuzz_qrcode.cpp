// Arbitrary text and picture arguments through the QR code generator. Besides crashes it checks that a
// result is empty exactly when the text is too long, and that every other result is a square PNG whose
// edge fits the module grid and is no larger than asked unless each module had to be one pixel.
#include "purchase/qrcodegenerator.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz_qrcode: %s: %s\n", what, qPrintable(detail));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    // Two bytes choose the arguments, kept small so that pictures stay cheap to draw.
    const int pixelSize = data[0] * 2 - 20;
    const int quietZone = static_cast<int8_t>(data[1]) % 16;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 2), static_cast<qsizetype>(size - 2));
    const qsizetype bytes = text.toUtf8().size();

    static const QrCodeGenerator generator;
    const QString url = generator.toDataUrl(text, pixelSize, quietZone);
    if (url.isEmpty() != (bytes > 106)) {
        fail("emptiness does not follow the length", QString::number(bytes));
    }
    if (url.isEmpty()) {
        return 0;
    }
    const QString prefix = QStringLiteral("data:image/png;base64,");
    if (!url.startsWith(prefix)) {
        fail("not a PNG data URL", url.left(40));
    }
    const auto png = QByteArray::fromBase64Encoding(url.mid(prefix.size()).toLatin1(),
                                                    QByteArray::AbortOnBase64DecodingErrors);
    const QImage image = png ? QImage::fromData(png.decoded, "PNG") : QImage();
    if (image.isNull() || image.width() != image.height()) {
        fail("no square picture", QString::number(bytes));
    }

    const int quiet = quietZone > 1 ? quietZone : 2;
    const int target = std::max(pixelSize, 120);
    bool fitsGrid = false;
    for (int modules = 21; modules <= 37; modules += 4) {
        const int across = modules + 2 * quiet;
        fitsGrid = fitsGrid || (image.width() % across == 0 && image.width() <= std::max(target, across));
    }
    if (!fitsGrid) {
        fail("edge fits no module grid", QStringLiteral("%1 px, %2 bytes").arg(image.width()).arg(bytes));
    }
    return 0;
}
