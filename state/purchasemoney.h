#pragma once

#include <QString>
#include <QtGlobal>

// Money in this program is a whole number of fen (1/100 yuan): the service writes yuan as numbers or
// text, and comparing those as floating point needs a tolerance that hides real differences. Amounts
// are turned into fen once, where a record is read, and into text once, here.
namespace nimbra::purchase {

// Yuan as the service writes them (30, 30.5, "30.01") in fen, to the nearest fen; 0 for anything
// that is no finite amount (and for amounts beyond what a price can be).
qint64 fenFromYuan(double yuan);

// "30", "30.5", "30.01": the display of an amount, without trailing zeros.
QString moneyText(qint64 fen);

} // namespace nimbra::purchase
