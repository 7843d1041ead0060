#pragma once

#include <QList>
#include <QtGlobal>

// How often a session whose core died may be rebuilt: at most `limit` restarts within any window of
// `windowMs`; the crash past that ends the session. Kept apart from the supervisor so the counting can
// be checked with made-up times.
namespace nimbra::accel {

class ReconnectBudget
{
public:
    static constexpr int kDefaultLimit = 3;
    static constexpr qint64 kDefaultWindowMs = 60000;

    explicit ReconnectBudget(int limit = kDefaultLimit, qint64 windowMs = kDefaultWindowMs);

    // A crash at nowMs (a monotonic clock). Returns the restart's number, 1..limit, when one is allowed,
    // or 0 when `limit` restarts already happened within the window before it.
    int recordCrash(qint64 nowMs);

    // A start the user asked for begins with the whole budget.
    void reset() { m_restarts.clear(); }

    int limit() const { return m_limit; }

private:
    int m_limit;
    qint64 m_windowMs;
    QList<qint64> m_restarts;
};

} // namespace nimbra::accel
