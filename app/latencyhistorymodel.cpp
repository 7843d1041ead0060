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

double LatencyHistoryModel::averageMs() const
{
    double sum = 0;
    int answered = 0;
    for (const LatencyPoint &point : m_points) {
        if (point.ms >= 0) {
            sum += point.ms;
            ++answered;
        }
    }
    return answered > 0 ? sum / answered : -1;
}

double LatencyHistoryModel::xOf(const LatencyPoint &point, double width) const
{
    const double span = static_cast<double>(kSpanMs) / 1000.0;
    return width * (1 - (m_points.constLast().seconds - point.seconds) / span);
}

QString LatencyHistoryModel::linePath(double width, double height, double topMs) const
{
    QString path;
    bool drawing = false;
    for (const LatencyPoint &point : m_points) {
        if (point.ms < 0 || topMs <= 0) {
            drawing = false;
            continue;
        }
        const double y = height - 4 - (height - 8) * std::min(1.0, point.ms / topMs);
        path += QStringLiteral("%1%2 %3 ")
                    .arg(drawing ? QLatin1Char('L') : QLatin1Char('M'))
                    .arg(xOf(point, width), 0, 'f', 1)
                    .arg(y, 0, 'f', 1);
        drawing = true;
    }
    return path.trimmed();
}

QString LatencyHistoryModel::lossPath(double width, double height) const
{
    QString path;
    for (const LatencyPoint &point : m_points) {
        if (point.loss <= 0)
            continue;
        const double bar = point.ms < 0 ? height : std::max(3.0, height * point.loss);
        const double left = xOf(point, width) - 1.5;
        path += QStringLiteral("M%1 %2 h3 v%3 h-3 Z ")
                    .arg(left, 0, 'f', 1)
                    .arg(height - bar, 0, 'f', 1)
                    .arg(bar, 0, 'f', 1);
    }
    return path.trimmed();
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
