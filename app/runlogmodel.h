// The run log as a list model: lines are appended as rows and the oldest dropped past the cap, so a
// view keeps the delegates it has and makes one per new line.
#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QTimer>

#include <functional>

// One line of the run log; important is a game-address line, kept longest.
struct RunLogEntry
{
    Q_GADGET
    Q_PROPERTY(QString time MEMBER time)
    Q_PROPERTY(QString text MEMBER text)
    Q_PROPERTY(bool error MEMBER error)
    Q_PROPERTY(bool important MEMBER important)

public:
    QString time;
    QString text;
    bool error = false;
    bool important = false;

    bool operator==(const RunLogEntry &) const = default;
};

class RunLogModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // Lines made rows so far: it grows with every addition, also at the cap where the count stays.
    Q_PROPERTY(int added READ added NOTIFY countChanged)

public:
    enum Role
    {
        TimeRole = Qt::UserRole + 1,
        TextRole,
        ErrorRole,
        ImportantRole
    };

    static constexpr int kMaxEntries = 300;
    static constexpr int kMaxImportantEntries = 20;
    // Queued lines become rows at most this often: an open view then lays out and redraws its lines
    // once a second, not with every batch of a chatty core.
    static constexpr int kQueueMs = 1000;

    explicit RunLogModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(m_entries.size()); }
    int added() const { return m_added; }
    const QList<RunLogEntry> &entries() const { return m_entries; }
    Q_INVOKABLE RunLogEntry entry(int row) const { return m_entries.value(row); }
    // Every entry as "[time] [ERROR] text" lines, for the clipboard.
    Q_INVOKABLE QString text() const;

    // The message's non-empty lines appended at time; isError decides per line. Past the cap, the last
    // important entries (at most 20) lead and the last others follow.
    void appendLines(const QString &message, const std::function<bool(const QString &)> &isError,
                     const QString &time);
    Q_INVOKABLE void append(const QString &message, bool error, const QString &time);
    // As appendLines, the rows made within kQueueMs; a line appended meanwhile comes after them.
    void queueLines(const QString &message, const std::function<bool(const QString &)> &isError,
                    const QString &time);
    // The queued lines made rows now.
    void flush();
    Q_INVOKABLE void clear();

signals:
    void countChanged();

private:
    void trim();

    QList<RunLogEntry> m_entries;
    QList<RunLogEntry> m_queued;
    int m_added = 0;
    QTimer m_queueTimer;
};
