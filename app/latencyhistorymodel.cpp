#include "app/latencyhistorymodel.h"

#include <algorithm>
#include <cmath>

LatencyHistoryModel::LatencyHistoryModel(QObject *parent)
    : QAbstractListModel(parent)
{}

int LatencyHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant LatencyHistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const LatencyPoint &point = m_points.at(index.row());
    switch (role) {
    case SecondsRole:
        return point.seconds;
    case MsRole:
        return point.ms;
    case LossRole:
        return point.loss;
    default:
        return {};
    }
}

QHash<int, QByteArray> LatencyHistoryModel::roleNames() const
{
    return {{SecondsRole, "seconds"}, {MsRole, "ms"}, {LossRole, "loss"}};
}

double LatencyHistoryModel::peakMs() const
{
    double peak = 0;
    for (const LatencyPoint &point : m_points)
        peak = std::max(peak, point.ms);
    return peak;
}

void LatencyHistoryModel::append(qint64 atMs, double medianMs, double loss)
{
    const qint64 oldest = atMs - kSpanMs;
    const auto stale = std::find_if(m_points.cbegin(), m_points.cend(), [oldest](const LatencyPoint &point) {
        return std::llround(point.seconds * 1000.0) >= oldest;
    });
    const int staleCount = static_cast<int>(stale - m_points.cbegin());
    if (staleCount > 0) {
        beginRemoveRows({}, 0, staleCount - 1);
        m_points.remove(0, staleCount);
        endRemoveRows();
    }
    beginInsertRows({}, count(), count());
    m_points.append({static_cast<double>(atMs) / 1000.0, medianMs, loss});
    ++m_added;
    endInsertRows();
    emit countChanged();
}

void LatencyHistoryModel::clear()
{
    if (m_points.isEmpty())
        return;
    beginResetModel();
    m_points.clear();
    endResetModel();
    emit countChanged();
}
