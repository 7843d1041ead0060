#include "purchase/qrcodegenerator.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

struct VersionInfo
{
    int dataCodewords;
    int ecCodewords;
    int maxBytes;
    int size;
};

// Level L keeps every one of these versions to a single error-correction block: no interleaving.
constexpr std::array<VersionInfo, 5> kVersions{{
    {19, 7, 17, 21},
    {34, 10, 32, 25},
    {55, 15, 53, 29},
    {80, 20, 78, 33},
    {108, 26, 106, 37},
}};

constexpr int kMaskCount = 8;

// Multiplication in GF(256) modulo x^8 + x^4 + x^3 + x^2 + 1 (0x11D).
std::uint8_t gfMultiply(std::uint8_t a, std::uint8_t b)
{
    int product = 0;
    for (int bit = 7; bit >= 0; --bit) {
        product = (product << 1) ^ ((product >> 7) * 0x11D);
        product ^= ((b >> bit) & 1) * a;
    }
    return static_cast<std::uint8_t>(product);
}

// Product of (x + a^i) for i = 0 .. degree - 1, highest power first (its leading 1 included).
std::vector<std::uint8_t> generatorPolynomial(int degree)
{
    std::vector<std::uint8_t> poly{1};
    std::uint8_t root = 1;
    for (int i = 0; i < degree; ++i) {
        std::vector<std::uint8_t> next(poly.size() + 1, 0);
        for (std::size_t j = 0; j < poly.size(); ++j) {
            next[j] ^= poly[j];
            next[j + 1] ^= gfMultiply(poly[j], root);
        }
        poly = std::move(next);
        root = gfMultiply(root, 2);
    }
    return poly;
}

std::vector<std::uint8_t> errorCorrection(const std::vector<std::uint8_t> &data, int degree)
{
    const std::vector<std::uint8_t> generator = generatorPolynomial(degree);
    std::vector<std::uint8_t> remainder(degree, 0);
    for (const std::uint8_t byte : data) {
        const std::uint8_t factor = byte ^ remainder.front();
        remainder.erase(remainder.begin());
        remainder.push_back(0);
        for (int j = 0; j < degree; ++j) {
            remainder[j] ^= gfMultiply(generator[j + 1], factor);
        }
    }
    return remainder;
}

// Mode, count, bytes, terminator and padding, then the error-correction codewords behind them.
std::vector<std::uint8_t> codewords(const QByteArray &bytes, const VersionInfo &version)
{
    std::vector<bool> bits;
    const auto append = [&bits](unsigned value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            bits.push_back(((value >> i) & 1U) != 0);
        }
    };
    append(0b0100, 4);
    append(static_cast<unsigned>(bytes.size()), 8);
    for (const char byte : bytes) {
        append(static_cast<std::uint8_t>(byte), 8);
    }
    const int capacityBits = version.dataCodewords * 8;
    append(0, std::min(4, capacityBits - static_cast<int>(bits.size())));
    append(0, static_cast<int>((8 - bits.size() % 8) % 8));

    std::vector<std::uint8_t> result;
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        std::uint8_t byte = 0;
        for (std::size_t j = 0; j < 8; ++j) {
            byte = static_cast<std::uint8_t>((byte << 1) | (bits[i + j] ? 1 : 0));
        }
        result.push_back(byte);
    }
    for (std::uint8_t pad = 0xEC; static_cast<int>(result.size()) < version.dataCodewords;
         pad ^= 0xEC ^ 0x11) {
        result.push_back(pad);
    }
    const std::vector<std::uint8_t> ec = errorCorrection(result, version.ecCodewords);
    result.insert(result.end(), ec.begin(), ec.end());
    return result;
}

struct Matrix
{
    explicit Matrix(int edge)
        : size(edge)
        , modules(edge * edge, -1)
        , function(edge * edge, false)
    {}

    int at(int row, int col) const { return modules[index(row, col)]; }
    bool isFunction(int row, int col) const { return function[index(row, col)]; }
    void set(int row, int col, int value) { modules[index(row, col)] = value; }
    void setFunction(int row, int col, int value)
    {
        modules[index(row, col)] = value;
        function[index(row, col)] = true;
    }
    std::size_t index(int row, int col) const { return row * size + col; }

    int size;
    std::vector<int> modules; // -1 unset, 0 light, 1 dark
    std::vector<bool> function;
};

// Finder pattern plus its light separator; the separator rows that fall outside are clipped.
void drawFinder(Matrix &m, int centreRow, int centreCol)
{
    for (int dr = -4; dr <= 4; ++dr) {
        for (int dc = -4; dc <= 4; ++dc) {
            const int row = centreRow + dr;
            const int col = centreCol + dc;
            if (row < 0 || row >= m.size || col < 0 || col >= m.size) {
                continue;
            }
            const int ring = std::max(std::abs(dr), std::abs(dc));
            m.setFunction(row, col, ring == 2 || ring == 4 ? 0 : 1);
        }
    }
}

void drawAlignment(Matrix &m, int centreRow, int centreCol)
{
    for (int dr = -2; dr <= 2; ++dr) {
        for (int dc = -2; dc <= 2; ++dc) {
            m.setFunction(centreRow + dr, centreCol + dc, std::max(std::abs(dr), std::abs(dc)) == 1 ? 0 : 1);
        }
    }
}

int formatBits(int mask)
{
    const int data = (0b01 << 3) | mask; // 01 is level L
    int remainder = data << 10;
    for (int bit = 14; bit >= 10; --bit) {
        if ((remainder >> bit) & 1) {
            remainder ^= 0x537 << (bit - 10);
        }
    }
    return ((data << 10) | remainder) ^ 0x5412;
}

// Both copies: around the top-left finder, and split between the bottom-left and top-right ones.
void drawFormat(Matrix &m, int mask)
{
    const int bits = formatBits(mask);
    const auto bit = [bits](int i) {
        return (bits >> i) & 1;
    };
    const int n = m.size;
    for (int i = 0; i <= 5; ++i) {
        m.setFunction(i, 8, bit(i));
    }
    m.setFunction(7, 8, bit(6));
    m.setFunction(8, 8, bit(7));
    m.setFunction(8, 7, bit(8));
    for (int i = 9; i <= 14; ++i) {
        m.setFunction(8, 14 - i, bit(i));
    }
    for (int i = 0; i <= 7; ++i) {
        m.setFunction(8, n - 1 - i, bit(i));
    }
    for (int i = 8; i <= 14; ++i) {
        m.setFunction(n - 15 + i, 8, bit(i));
    }
}

Matrix functionPatterns(int versionNumber, int size)
{
    Matrix m(size);
    drawFinder(m, 3, 3);
    drawFinder(m, 3, size - 4);
    drawFinder(m, size - 4, 3);
    for (int i = 8; i < size - 8; ++i) {
        m.setFunction(6, i, i % 2 == 0 ? 1 : 0);
        m.setFunction(i, 6, i % 2 == 0 ? 1 : 0);
    }
    if (versionNumber >= 2) {
        drawAlignment(m, size - 7, size - 7);
    }
    m.setFunction(size - 8, 8, 1);
    drawFormat(m, 0); // reserves the areas; the real bits are written per mask
    return m;
}

bool maskHolds(int mask, int row, int col)
{
    switch (mask) {
    case 0:
        return (row + col) % 2 == 0;
    case 1:
        return row % 2 == 0;
    case 2:
        return col % 3 == 0;
    case 3:
        return (row + col) % 3 == 0;
    case 4:
        return (row / 2 + col / 3) % 2 == 0;
    case 5:
        return (row * col) % 2 + (row * col) % 3 == 0;
    case 6:
        return ((row * col) % 2 + (row * col) % 3) % 2 == 0;
    default:
        return ((row + col) % 2 + (row * col) % 3) % 2 == 0;
    }
}

void placeData(Matrix &m, const std::vector<std::uint8_t> &words, int mask)
{
    const std::size_t bitCount = words.size() * 8;
    std::size_t next = 0;
    bool upward = true;
    for (int right = m.size - 1; right >= 1; right -= 2) {
        if (right == 6) {
            right = 5; // the vertical timing pattern takes column 6 out of the pairing
        }
        for (int step = 0; step < m.size; ++step) {
            const int row = upward ? m.size - 1 - step : step;
            for (int col = right; col >= right - 1; --col) {
                if (m.isFunction(row, col)) {
                    continue;
                }
                const int bit = next < bitCount ? (words[next / 8] >> (7 - next % 8)) & 1 : 0;
                ++next;
                m.set(row, col, bit ^ (maskHolds(mask, row, col) ? 1 : 0));
            }
        }
        upward = !upward;
    }
}

// Penalises modules surrounded mostly by their own colour.
int score(const Matrix &m)
{
    int total = 0;
    for (int row = 1; row < m.size; ++row) {
        for (int col = 0; col < m.size; ++col) {
            int same = 0;
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    const int r = row + dr;
                    const int c = col + dc;
                    if ((dr != 0 || dc != 0) && r >= 0 && r < m.size && c >= 0 && c < m.size &&
                        m.at(r, c) == m.at(row, col)) {
                        ++same;
                    }
                }
            }
            if (same > 5) {
                total += same - 2;
            }
        }
    }
    return total;
}

QString pngDataUrl(const Matrix &m, int pixelSize, int quietZone)
{
    const qint64 quiet = quietZone > 1 ? quietZone : 2;
    const qint64 target = pixelSize >= 120 ? pixelSize : 120;
    const qint64 across = m.size + 2 * quiet;
    const qint64 scale = std::max<qint64>(target / across, 1);
    const qint64 edge = across * scale;
    // An absurd quiet zone must not overflow the picture's int geometry.
    if (edge > std::numeric_limits<int>::max()) {
        return {};
    }
    QImage image(static_cast<int>(edge), static_cast<int>(edge), QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    image.fill(Qt::white);
    const int border = static_cast<int>(quiet); // both fit, as the edge does
    const int step = static_cast<int>(scale);
    QPainter painter(&image);
    for (int row = 0; row < m.size; ++row) {
        for (int col = 0; col < m.size; ++col) {
            if (m.at(row, col) == 1) {
                painter.fillRect((border + col) * step, (border + row) * step, step, step, Qt::black);
            }
        }
    }
    painter.end();

    QByteArray png;
    QBuffer buffer(&png);
    // Stored as 8-bit grey: the same pixels, a third of the data to compress.
    if (!buffer.open(QIODevice::WriteOnly) ||
        !image.convertToFormat(QImage::Format_Grayscale8).save(&buffer, "PNG")) {
        return {};
    }
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
}

} // namespace

QrCodeGenerator::QrCodeGenerator(QObject *parent)
    : QObject(parent)
{}

QString QrCodeGenerator::toDataUrl(const QString &text, int pixelSize, int quietZone) const
{
    const QByteArray bytes = text.toUtf8();
    const auto version = std::find_if(kVersions.begin(), kVersions.end(),
                                      [&bytes](const VersionInfo &v) { return bytes.size() <= v.maxBytes; });
    if (version == kVersions.end()) {
        return {};
    }
    const int versionNumber = static_cast<int>(version - kVersions.begin()) + 1;
    const std::vector<std::uint8_t> words = codewords(bytes, *version);
    const Matrix base = functionPatterns(versionNumber, version->size);

    Matrix best = base;
    int bestScore = std::numeric_limits<int>::max();
    for (int mask = 0; mask < kMaskCount; ++mask) {
        Matrix candidate = base;
        placeData(candidate, words, mask);
        drawFormat(candidate, mask);
        const int candidateScore = score(candidate);
        if (candidateScore < bestScore) {
            best = candidate;
            bestScore = candidateScore;
        }
    }
    return pngDataUrl(best, pixelSize, quietZone);
}
