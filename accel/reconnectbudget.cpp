#include "accel/reconnectbudget.h"

namespace nimbra::accel {

ReconnectBudget::ReconnectBudget(int limit, qint64 windowMs)
    : m_limit(limit)
    , m_windowMs(windowMs)
{}

int ReconnectBudget::recordCrash(qint64 nowMs)
{
    // Restarts that left the window no longer count against this crash.
    while (!m_restarts.isEmpty() && nowMs - m_restarts.constFirst() >= m_windowMs)
        m_restarts.removeFirst();
    if (m_restarts.size() >= m_limit)
        return 0;
    m_restarts.append(nowMs);
    return static_cast<int>(m_restarts.size());
}

} // namespace nimbra::accel
