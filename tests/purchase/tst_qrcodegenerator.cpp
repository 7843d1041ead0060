#include "purchase/qrcodegenerator.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <utility>
#include <vector>

namespace {

using Grid = std::vector<std::vector<int>>; // [row][col], 1 dark
using Position = std::pair<int, int>;       // row, col

const QString kPrefix = QStringLiteral("data:image/png;base64,");

// The eight level-L format words as tabulated in ISO/IEC 18004, mask 0 to 7.
constexpr std::array<int, 8> kLevelLFormats{0x77C4, 0x72F3, 0x7DAA, 0x789D, 0x662F, 0x6318, 0x6C41, 0x6976};

const QString kChinese =
    QStringLiteral("微信支付订单二维码扫描付款成功会员加速服务游戏网络线路节点延迟稳定畅玩充值续费套餐年月");

QString asciiText(int length)
{
    const QString link = QStringLiteral("weixin://wxpay/bizpayurl?pr=Ab3xYz9&n=");
    QString text;
    while (text.size() < length) {
        text += link;
    }
    return text.left(length);
}

// Module count for a byte-mode, level-L payload of `bytes` bytes, from the capacity table of
// ISO/IEC 18004 (versions 1 to 5).
int expectedModules(int bytes)
{
    return bytes <= 17 ? 21 : bytes <= 32 ? 25 : bytes <= 53 ? 29 : bytes <= 78 ? 33 : 37;
}

// Exactly `bytes` UTF-8 bytes: as many three-byte Chinese characters as fit, then ASCII.
QString chineseText(int bytes)
{
    return kChinese.left(bytes / 3) + QString(bytes % 3, QLatin1Char('x'));
}

QImage pictureOf(const QString &url)
{
    if (!url.startsWith(kPrefix)) {
        return {};
    }
    const auto decoded = QByteArray::fromBase64Encoding(url.mid(kPrefix.size()).toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || !decoded.decoded.startsWith("\x89PNG\r\n\x1a\n")) {
        return {};
    }
    return QImage::fromData(decoded.decoded, "PNG");
}

// Reads a `size`-module symbol back from the picture, or an empty grid when the picture is not made of
// uniform square modules inside an all-white border of `quiet` modules.
Grid modulesOf(const QString &url, int size, int quiet)
{
    const QImage image = pictureOf(url);
    const int across = size + 2 * quiet;
    if (image.isNull() || image.width() != image.height() || image.width() % across != 0) {
        return {};
    }
    const int scale = image.width() / across;
    Grid grid(size, std::vector<int>(size));
    for (int row = -quiet; row < size + quiet; ++row) {
        for (int col = -quiet; col < size + quiet; ++col) {
            const QRgb first = image.pixel((quiet + col) * scale, (quiet + row) * scale);
            for (int y = 0; y < scale; ++y) {
                for (int x = 0; x < scale; ++x) {
                    if (image.pixel((quiet + col) * scale + x, (quiet + row) * scale + y) != first) {
                        return {};
                    }
                }
            }
            const bool inside = row >= 0 && row < size && col >= 0 && col < size;
            if (first == qRgb(0, 0, 0) && inside) {
                grid[row][col] = 1;
            } else if (first != qRgb(255, 255, 255)) {
                return {};
            }
        }
    }
    return grid;
}

int at(const Grid &grid, int row, int col)
{
    return grid[row][col];
}

// Finder pattern and separator whose top-left dark corner is (row, col); separator cells outside are
// skipped.
bool hasFinder(const Grid &grid, int row, int col)
{
    const int n = static_cast<int>(grid.size());
    for (int r = -1; r <= 7; ++r) {
        for (int c = -1; c <= 7; ++c) {
            if (row + r < 0 || row + r >= n || col + c < 0 || col + c >= n) {
                continue;
            }
            const int ring = std::max(std::abs(r - 3), std::abs(c - 3));
            if (at(grid, row + r, col + c) != (ring == 2 || ring == 4 ? 0 : 1)) {
                return false;
            }
        }
    }
    return true;
}

// Where format bit i (bit 0 least significant) sits, first and second copy.
std::array<std::array<Position, 15>, 2> formatPositions(int size)
{
    std::array<std::array<Position, 15>, 2> p{};
    for (int i = 0; i < 15; ++i) {
        p[0][i] = i < 6    ? Position{i, 8}
                  : i < 8  ? Position{i + 1, 8}
                  : i == 8 ? Position{8, 7}
                           : Position{8, 14 - i};
        p[1][i] = i < 8 ? Position{8, size - 1 - i} : Position{size - 15 + i, 8};
    }
    return p;
}

int formatWord(const Grid &grid, int copy)
{
    const auto positions = formatPositions(static_cast<int>(grid.size()))[copy];
    int word = 0;
    for (int i = 0; i < 15; ++i) {
        const auto [row, col] = positions[i];
        word |= at(grid, row, col) << i;
    }
    return word;
}

bool maskHolds(int mask, int i, int j)
{
    const std::array<bool, 8> conditions{(i + j) % 2 == 0,
                                         i % 2 == 0,
                                         j % 3 == 0,
                                         (i + j) % 3 == 0,
                                         (i / 2 + j / 3) % 2 == 0,
                                         (i * j) % 2 + (i * j) % 3 == 0,
                                         ((i * j) % 2 + (i * j) % 3) % 2 == 0,
                                         ((i + j) % 2 + (i * j) % 3) % 2 == 0};
    return conditions[mask];
}

bool isFunctionModule(int size, int row, int col)
{
    const int alignment = size - 7;
    return (row < 9 && (col < 9 || col >= size - 8)) || (row >= size - 8 && col < 9) || row == 6 ||
           col == 6 || (size > 21 && std::abs(row - alignment) <= 2 && std::abs(col - alignment) <= 2);
}

// The selection score: rows 1 onwards, modules with more than five like-coloured neighbours.
int selectionScore(const Grid &grid)
{
    const int n = static_cast<int>(grid.size());
    int total = 0;
    for (int row = 1; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            int same = -1; // the module itself is counted below
            for (int r = std::max(row - 1, 0); r <= std::min(row + 1, n - 1); ++r) {
                for (int c = std::max(col - 1, 0); c <= std::min(col + 1, n - 1); ++c) {
                    same += at(grid, r, c) == at(grid, row, col) ? 1 : 0;
                }
            }
            total += same > 5 ? same - 2 : 0;
        }
    }
    return total;
}

// The same symbol under mask `to` instead of `from`: data modules flipped where the two differ, format
// words swapped.
Grid remasked(Grid grid, int from, int to)
{
    const int n = static_cast<int>(grid.size());
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            if (!isFunctionModule(n, row, col) && maskHolds(from, row, col) != maskHolds(to, row, col)) {
                grid[row][col] ^= 1;
            }
        }
    }
    for (const auto &copy : formatPositions(n)) {
        for (int i = 0; i < 15; ++i) {
            grid[copy[i].first][copy[i].second] = (kLevelLFormats[to] >> i) & 1;
        }
    }
    return grid;
}

} // namespace

class TestQrCodeGenerator : public QObject
{
    Q_OBJECT

private slots:
    void dataUrlAndInvokableForms()
    {
        QrCodeGenerator generator;
        const QString text = asciiText(30);
        const QString url = generator.toDataUrl(text, 260, 4);
        QVERIFY(url.startsWith(kPrefix));
        const QByteArray base64 = url.mid(kPrefix.size()).toLatin1();
        QCOMPARE(base64.size() % 4, 0);
        QCOMPARE(QByteArray::fromBase64(base64).toBase64(), base64); // standard alphabet, padded, unbroken
        QVERIFY(!pictureOf(url).isNull());
        QCOMPARE(generator.toDataUrl(text, 260, 4), url); // nothing carried over between calls

        const QMetaObject *meta = generator.metaObject();
        for (const char *signature :
             {"toDataUrl(QString)", "toDataUrl(QString,int)", "toDataUrl(QString,int,int)"}) {
            QVERIFY2(meta->indexOfMethod(signature) >= 0, signature);
        }
        QString viaMeta;
        QVERIFY(QMetaObject::invokeMethod(&generator, "toDataUrl", Q_RETURN_ARG(QString, viaMeta),
                                          Q_ARG(QString, text)));
        QCOMPARE(viaMeta, generator.toDataUrl(text, 240, 4));
        QVERIFY(QMetaObject::invokeMethod(&generator, "toDataUrl", Q_RETURN_ARG(QString, viaMeta),
                                          Q_ARG(QString, text), Q_ARG(int, 300)));
        QCOMPARE(viaMeta, generator.toDataUrl(text, 300, 4));

        // Past version 5's 106 bytes nothing fits.
        QVERIFY(!generator.toDataUrl(asciiText(106)).isEmpty());
        QVERIFY(generator.toDataUrl(asciiText(107)).isEmpty());
        QVERIFY(generator.toDataUrl(asciiText(108), 260, 4).isEmpty());
        QCOMPARE(kChinese.left(36).toUtf8().size(), 108);
        QVERIFY(generator.toDataUrl(kChinese.left(36), 260, 4).isEmpty());
    }

    void pictureSize()
    {
        QrCodeGenerator generator;
        const QString text = asciiText(17);
        // Version 1 with the payment dialog's arguments: 21 + 2 * 4 = 29 across, 260 / 29 -> 8, 29 * 8.
        const QImage payment = pictureOf(generator.toDataUrl(text, 260, 4));
        QCOMPARE(payment.size(), QSize(232, 232));
        QCOMPARE(payment.pixel(32, 32), qRgb(0, 0, 0)); // finder corner at (quiet + 0) * scale
        QCOMPARE(payment.pixel(31, 31), qRgb(255, 255, 255));
        QCOMPARE(payment.pixel(32 + 7 * 8, 32), qRgb(255, 255, 255)); // separator right of the finder
        // One byte more is version 2: 33 across, 260 / 33 -> 7.
        QCOMPARE(pictureOf(generator.toDataUrl(asciiText(18), 260, 4)).size(), QSize(231, 231));

        QCOMPARE(pictureOf(generator.toDataUrl(text)).size(), QSize(232, 232)); // 240 / 29 -> 8
        // Small sizes count as 120: 120 / 29 -> 4.
        QCOMPARE(pictureOf(generator.toDataUrl(text, 120, 4)).size(), QSize(116, 116));
        QCOMPARE(generator.toDataUrl(text, 50, 4), generator.toDataUrl(text, 120, 4));
        QCOMPARE(generator.toDataUrl(text, 0, 4), generator.toDataUrl(text, 120, 4));
        QCOMPARE(generator.toDataUrl(text, -5, 4), generator.toDataUrl(text, 120, 4));
        // Quiet zones below 2 count as 2: 25 across, 260 / 25 -> 10.
        const QString two = generator.toDataUrl(text, 260, 2);
        QCOMPARE(pictureOf(two).size(), QSize(250, 250));
        QCOMPARE(generator.toDataUrl(text, 260, 1), two);
        QCOMPARE(generator.toDataUrl(text, 260, 0), two);
        QCOMPARE(generator.toDataUrl(text, 260, -3), two);
        QVERIFY(!modulesOf(generator.toDataUrl(text, 260, 3), 21, 3).empty()); // 27 across, 9 a module
        QCOMPARE(pictureOf(generator.toDataUrl(text, 260, 3)).size(), QSize(243, 243));
        // Too many modules for the size: one pixel each, larger than asked.
        QCOMPARE(pictureOf(generator.toDataUrl(text, 120, 100)).size(), QSize(221, 221));
        // Version 5 at 120: 45 across, 2 a module.
        QCOMPARE(pictureOf(generator.toDataUrl(asciiText(106), 120, 4)).size(), QSize(90, 90));
    }

    void symbolStructure()
    {
        QStringList texts;
        for (int bytes = 0; bytes <= 106; ++bytes) {
            texts << asciiText(bytes) << chineseText(bytes);
        }
        // Links where two masks share the lowest score.
        texts << QStringLiteral("weixin://wxpay/bizpayurl?pr=ck1kh1")
              << QStringLiteral("weixin://wxpay/bizpayurl?pr=1btpzmc98098098");
        int ties = 0;
        for (const QString &text : texts) {
            const int bytes = static_cast<int>(text.toUtf8().size());
            const QByteArray where = QByteArray::number(bytes) + " bytes: " + text.toUtf8();
            const int size = expectedModules(bytes);
            const Grid grid = modulesOf(QrCodeGenerator().toDataUrl(text, 300, 4), size, 4);
            QVERIFY2(!grid.empty(), where);
            QVERIFY2(hasFinder(grid, 0, 0) && hasFinder(grid, 0, size - 7) && hasFinder(grid, size - 7, 0),
                     where);
            for (int i = 8; i < size - 8; ++i) {
                QVERIFY2(at(grid, 6, i) == (i + 1) % 2 && at(grid, i, 6) == (i + 1) % 2, where);
            }
            QVERIFY2(at(grid, size - 8, 8) == 1, where); // the dark module
            for (int r = -2; size > 21 && r <= 2; ++r) {
                for (int c = -2; c <= 2; ++c) {
                    const int expected = std::max(std::abs(r), std::abs(c)) == 1 ? 0 : 1;
                    QVERIFY2(at(grid, size - 7 + r, size - 7 + c) == expected, where);
                }
            }

            const int word = formatWord(grid, 0);
            QVERIFY2(formatWord(grid, 1) == word, where);
            const int unmasked = word ^ 0x5412;
            int remainder = unmasked;
            for (int bit = 14; bit >= 10; --bit) {
                if ((remainder >> bit) & 1) {
                    remainder ^= 0x537 << (bit - 10);
                }
            }
            QVERIFY2(remainder == 0 && unmasked >> 13 == 0b01, where); // a BCH code word, level L
            const int mask = (unmasked >> 10) & 7;
            QVERIFY2(word == kLevelLFormats[mask], where);

            // Re-mask the same symbol with every pattern: the chosen one scores lowest, the lowest
            // number winning a tie.
            const int chosenScore = selectionScore(grid);
            for (int other = 0; other < 8; ++other) {
                const int otherScore = selectionScore(remasked(grid, mask, other));
                ties += other != mask && otherScore == chosenScore ? 1 : 0;
                QVERIFY2(other < mask ? otherScore > chosenScore : otherScore >= chosenScore,
                         where + " mask " + QByteArray::number(other) + " scores " +
                             QByteArray::number(otherScore) + ", chosen " + QByteArray::number(mask) +
                             " scores " + QByteArray::number(chosenScore));
            }
        }
        QVERIFY(ties > 0); // the tie rule was exercised
    }

    void decodesWithZbar()
    {
        const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
        if (zbarimg.isEmpty()) {
            QSKIP("zbarimg (Debian package zbar-tools) is not installed");
        }
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("code.png"));
        // zbarimg's exit code is 0 only when it found a symbol; an empty payload still counts.
        const auto decode = [&](const QString &text, int pixelSize, int quietZone,
                                const QStringList &options) {
            const QString url = QrCodeGenerator().toDataUrl(text, pixelSize, quietZone);
            QFile png(file);
            if (!url.startsWith(kPrefix) || !png.open(QIODevice::WriteOnly) ||
                png.write(QByteArray::fromBase64(url.mid(kPrefix.size()).toLatin1())) <= 0) {
                return QByteArray("<no picture>");
            }
            png.close();
            QProcess zbar;
            zbar.start(zbarimg, options + QStringList{QStringLiteral("--raw"), QStringLiteral("-q"), file});
            if (!zbar.waitForFinished(30000) || zbar.exitCode() != 0) {
                return QByteArray("<not decoded>");
            }
            return zbar.readAllStandardOutput();
        };

        for (int bytes = 0; bytes <= 106; ++bytes) {
            const QString ascii = asciiText(bytes);
            QCOMPARE(QString::fromUtf8(decode(ascii, 260, 4, {})), ascii + QLatin1Char('\n'));
            // Without an ECI header zbar guesses the character set and often picks Shift JIS for short
            // Chinese UTF-8; its binary output shows the exact bytes the symbol carries.
            const QString chinese = chineseText(bytes);
            QCOMPARE(chinese.toUtf8().size(), bytes);
            QCOMPARE(decode(chinese, 260, 4, {QStringLiteral("-Sbinary")}), chinese.toUtf8());
        }
        // Still readable at the smallest picture: two pixels a module, two-module border.
        for (const int bytes : {17, 18, 106}) {
            QCOMPARE(QString::fromUtf8(decode(asciiText(bytes), 50, 0, {})),
                     asciiText(bytes) + QLatin1Char('\n'));
        }
    }
};

QTEST_GUILESS_MAIN(TestQrCodeGenerator)
#include "tst_qrcodegenerator.moc"
