#include "app/runlogmodel.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

QList<RunLogEntry> entriesOf(const QString &message, const std::function<bool(const QString &)> &isError,
                             const QString &time)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r?\n"));
    QList<RunLogEntry> entries;
    for (const QString &line : message.split(lineBreak)) {
        if (!line.isEmpty())
            entries.append({time, line, isError(line), line.contains(QLatin1String("[GameIP]"))});
    }
    return entries;
}

} // namespace

RunLogModel::RunLogModel(QObject *parent)
    : QAbstractListModel(parent)
{
    m_queueTimer.setSingleShot(true);
    m_queueTimer.setInterval(kQueueMs);
    connect(&m_queueTimer, &QTimer::timeout, this, &RunLogModel::flush);
}

int RunLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant RunLogModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const RunLogEntry &entry = m_entries.at(index.row());
    switch (role) {
    case TimeRole:
        return entry.time;
    case TextRole:
        return entry.text;
    case ErrorRole:
        return entry.error;
    case ImportantRole:
        return entry.important;
    default:
        return {};
    }
}

QHash<int, QByteArray> RunLogModel::roleNames() const
{
    return {{TimeRole, "time"}, {TextRole, "text"}, {ErrorRole, "error"}, {ImportantRole, "important"}};
}

QString RunLogModel::text() const
{
    QStringList lines;
    lines.reserve(m_entries.size());
    for (const RunLogEntry &entry : m_entries)
        lines << QLatin1Char('[') + entry.time + QStringLiteral("] ") +
                     (entry.error ? QStringLiteral("[ERROR] ") : QString()) + entry.text;
    return lines.join(QLatin1Char('\n'));
}

void RunLogModel::appendLines(const QString &message, const std::function<bool(const QString &)> &isError,
                              const QString &time)
{
    flush();
    m_queued = entriesOf(message, isError, time);
    flush();
}

void RunLogModel::queueLines(const QString &message, const std::function<bool(const QString &)> &isError,
                             const QString &time)
{
    m_queued += entriesOf(message, isError, time);
    if (!m_queued.isEmpty() && !m_queueTimer.isActive())
        m_queueTimer.start();
}

void RunLogModel::flush()
{
    m_queueTimer.stop();
    if (m_queued.isEmpty())
        return;
    QList<RunLogEntry> added;
    added.swap(m_queued);
    // Lines past what the cap keeps of the queue alone never show: they are not made rows at all.
    qsizetype important = 0;
    qsizetype others = 0;
    for (const RunLogEntry &entry : std::as_const(added))
        ++(entry.important ? important : others);
    qsizetype dropImportant = std::max<qsizetype>(0, important - kMaxImportantEntries);
    qsizetype dropOthers = std::max<qsizetype>(0, others - kMaxEntries);
    added.removeIf([&](const RunLogEntry &entry) {
        qsizetype &drop = entry.important ? dropImportant : dropOthers;
        return drop > 0 && drop-- > 0;
    });
    const int first = count();
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    m_entries += added;
    m_added += static_cast<int>(added.size());
    endInsertRows();
    trim();
    emit countChanged();
}

void RunLogModel::append(const QString &message, bool error, const QString &time)
{
    appendLines(
        message, [error](const QString &) { return error; }, time);
}

void RunLogModel::clear()
{
    m_queued.clear();
    m_queueTimer.stop();
    if (m_entries.isEmpty())
        return;
    beginResetModel();
    m_entries.clear();
    endResetModel();
    emit countChanged();
}

// Rows are removed and moved, never reset, so a view keeps the delegates of the lines that stay.
void RunLogModel::trim()
{
    if (count() <= kMaxEntries)
        return;
    const auto importantCount = std::count_if(m_entries.cbegin(), m_entries.cend(),
                                              [](const RunLogEntry &entry) { return entry.important; });
    const qsizetype importantKept = std::min<qsizetype>(importantCount, kMaxImportantEntries);
    qsizetype importantDropped = importantCount - importantKept;
    qsizetype othersDropped = (m_entries.size() - importantCount) - (kMaxEntries - importantKept);
    QList<bool> keep(m_entries.size(), true);
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        qsizetype &dropped = m_entries.at(i).important ? importantDropped : othersDropped;
        if (dropped > 0) {
            keep[i] = false;
            --dropped;
        }
    }
    // From the end, so the rows before a range keep their numbers.
    for (qsizetype end = m_entries.size(); end > 0;) {
        if (keep.at(end - 1)) {
            --end;
            continue;
        }
        qsizetype begin = end - 1;
        while (begin > 0 && !keep.at(begin - 1))
            --begin;
        beginRemoveRows({}, static_cast<int>(begin), static_cast<int>(end - 1));
        m_entries.remove(begin, end - begin);
        endRemoveRows();
        end = begin;
    }
    // The important lines lead, in their order.
    int lead = 0;
    for (int row = 0; row < count(); ++row) {
        if (!m_entries.at(row).important)
            continue;
        if (row != lead) {
            beginMoveRows({}, row, row, {}, lead);
            m_entries.move(row, lead);
            endMoveRows();
        }
        ++lead;
    }
}
