#include "state/purchasemoney.h"

#include <cmath>

namespace nimbra::purchase {

qint64 fenFromYuan(double yuan)
{
    // A trillion yuan is no price; the bound keeps llround defined.
    if (!std::isfinite(yuan) || std::fabs(yuan) > 1e12)
        return 0;
    return std::llround(yuan * 100.0);
}

QString moneyText(qint64 fen)
{
    const QString sign = fen < 0 ? QStringLiteral("-") : QString();
    const quint64 amount = fen < 0 ? 0 - static_cast<quint64>(fen) : static_cast<quint64>(fen);
    const quint64 cents = amount % 100;
    QString text = sign + QString::number(amount / 100);
    if (cents == 0)
        return text;
    text += QLatin1Char('.') + QString::number(cents / 10);
    if (cents % 10 != 0)
        text += QString::number(cents % 10);
    return text;
}

} // namespace nimbra::purchase
