#pragma once

#include <QObject>
#include <QString>

// Turns a short text (a payment link) into a QR code picture that a Qt Quick Image shows directly.
// Versions 1 to 5, error-correction level L, byte mode: enough for a payment link, and small enough
// to stay a self-contained encoder. Stateless, so one instance serves every caller.
class QrCodeGenerator : public QObject
{
    Q_OBJECT

public:
    explicit QrCodeGenerator(QObject *parent = nullptr);

    // A "data:image/png;base64," URL of the code for `text` (UTF-8 bytes), about `pixelSize` pixels
    // wide with a light border of `quietZone` modules; empty when the text is longer than 106 bytes.
    Q_INVOKABLE QString toDataUrl(const QString &text, int pixelSize = 240, int quietZone = 4) const;
};
