// The selected route's measured rounds of the last 60 s of acceleration, as a list model: a round is
// appended as a row and rounds older than the span leave from the front, so the chart follows rows
// instead of a list re-sent whole.
#pragma once

#include <QAbstractListModel>
#include <QList>

// One round: when (seconds on the session's steady clock), its median (ms, negative: no probe
// answered) and its loss (0..1).
struct LatencyPoint
{
    Q_GADGET
    Q_PROPERTY(double seconds MEMBER seconds)
    Q_PROPERTY(double ms MEMBER ms)
    Q_PROPERTY(double loss MEMBER loss)

public:
    double seconds = 0;
    double ms = -1;
    double loss = 0;
};

class LatencyHistoryModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // Rounds appended so far: it grows with every round, also once the oldest leave as many.
    Q_PROPERTY(int added READ added NOTIFY countChanged)
    // The highest median held, 0 when none answered.
    Q_PROPERTY(double peakMs READ peakMs NOTIFY countChanged)
    // The last round's median and the mean of the answered medians held; negative when there is none.
    Q_PROPERTY(double currentMs READ currentMs NOTIFY countChanged)
    Q_PROPERTY(double averageMs READ averageMs NOTIFY countChanged)

public:
    enum Role
    {
        SecondsRole = Qt::UserRole + 1,
        MsRole,
        LossRole
    };

    static constexpr qint64 kSpanMs = 60000;

    explicit LatencyHistoryModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(m_points.size()); }
    int added() const { return m_added; }
    double peakMs() const;
    double currentMs() const { return m_points.isEmpty() ? -1 : m_points.constLast().ms; }
    double averageMs() const;
    Q_INVOKABLE LatencyPoint point(int row) const { return m_points.value(row); }

    // The chart's drawing as SVG path data for a width x height box, newest round at the right edge and
    // topMs at the top: the line through the answered rounds (a round with no answer breaks it), and a
    // bar from the bottom for each round with lost probes (the full height: no answer at all). Made here
    // once a round, so the chart repaints a path instead of running script for every point.
    Q_INVOKABLE QString linePath(double width, double height, double topMs) const;
    Q_INVOKABLE QString lossPath(double width, double height) const;

    // A round at atMs; rounds more than the span before it leave.
    Q_INVOKABLE void append(qint64 atMs, double medianMs, double loss);
    Q_INVOKABLE void clear();

signals:
    void countChanged();

private:
    double xOf(const LatencyPoint &point, double width) const;

    QList<LatencyPoint> m_points;
    int m_added = 0;
};
