// The chosen game's routes as the views show them: one typed value per route with its kind, its
// measured figure and whether it is the selected one, so no view reads the service's record.
#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSortFilterProxyModel>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <algorithm>

// A route's kind, from the service's group of the route only; empty (no badge) when it names none.
struct RouteKind
{
    QString kind;      // "native", "idc", "isp", "shared" or empty
    QString label;     // "原生住宅", "IDC 专线", "运营商", "共享节点"
    QString typeLabel; // the badge
    QString icon;
};
RouteKind routeKind(const QVariantMap &record);

// What a measurement shows for a route: "23 ms", "测速中…", "超时", "UDP 节点" or "—"; lossText
// ("丢包 20%") only when a round lost probes.
struct RouteFigure
{
    QString text = QStringLiteral("—");
    QString lossText;
    bool measuring = false;

    bool operator==(const RouteFigure &) const = default;
};

struct RouteItem
{
    Q_GADGET
    Q_PROPERTY(QVariantMap record MEMBER record)
    Q_PROPERTY(QString key MEMBER key)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString region MEMBER region)
    Q_PROPERTY(QString kind MEMBER kind)
    Q_PROPERTY(QString kindLabel MEMBER kindLabel)
    Q_PROPERTY(QString typeLabel MEMBER typeLabel)
    Q_PROPERTY(QString detail MEMBER detail)
    Q_PROPERTY(QString icon MEMBER icon)
    Q_PROPERTY(bool full MEMBER full)
    Q_PROPERTY(QVariant cap MEMBER cap)
    Q_PROPERTY(QVariant cur MEMBER cur)
    Q_PROPERTY(QString latencyText MEMBER latencyText)
    Q_PROPERTY(QString lossText MEMBER lossText)
    Q_PROPERTY(bool measuring MEMBER measuring)
    Q_PROPERTY(bool selected MEMBER selected)

public:
    explicit RouteItem(const QVariantMap &route = {});

    QVariantMap record; // as the service sent it, with its configuration once loaded
    QString key;        // the stable key the figures and the stored choice use
    QString rowKey;     // the key a selection is matched by
    QString name;
    QString region;
    QString kind;
    QString kindLabel;
    QString typeLabel;
    QString detail; // the kind and note: "IDC 专线 · 尊享机房"
    QString icon;
    bool full = false; // flagged by the service, or its load has reached its capacity
    QVariant cap;      // the load figures as the record has them
    QVariant cur;
    QString latencyText = QStringLiteral("—");
    QString lossText;
    bool measuring = false;
    bool selected = false;
};

class RouteListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The routes offered for a choice (the first kOffered), and the rest, listed as full: list models
    // (as plain objects, the type QML tools know).
    Q_PROPERTY(QObject *offered READ offered CONSTANT)
    Q_PROPERTY(QObject *overflow READ overflow CONSTANT)
    Q_PROPERTY(int overflowCount READ overflowCount NOTIFY countChanged)

public:
    enum Role
    {
        RouteRole = Qt::UserRole + 1
    };

    static constexpr int kOffered = 7;

    explicit RouteListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(m_items.size()); }
    int overflowCount() const { return std::max(0, count() - kOffered); }
    QSortFilterProxyModel *offered() { return &m_offered; }
    QSortFilterProxyModel *overflow() { return &m_overflow; }
    Q_INVOKABLE RouteItem at(int row) const { return m_items.value(row); }
    bool lists(const QString &key) const
    {
        return std::any_of(m_items.cbegin(), m_items.cend(),
                           [&key](const RouteItem &item) { return item.key == key; });
    }

    // A new list, or the same routes with new records (a configuration arrived): then the rows stay.
    Q_INVOKABLE void setRoutes(const QVariantList &records);
    Q_INVOKABLE void setSelected(const QVariantMap &route);
    // A figure as the views show it, for the tests and the screenshot scenes.
    Q_INVOKABLE void showFigure(const QString &key, const QString &text, const QString &lossText = {})
    {
        setFigure(key, {text, lossText, text == QStringLiteral("测速中…")});
    }
    // Figures are kept by key across reloads of the same list, until cleared.
    void setFigure(const QString &key, const RouteFigure &figure);
    RouteFigure figure(const QString &key) const { return m_figures.value(key); }
    bool hasFigures() const { return !m_figures.isEmpty(); }
    bool hasFigure(const QString &key) const { return m_figures.contains(key); }
    void clearFigures();
    // A figure being measured reads "—" again (its rounds were dropped).
    void endMeasuring();

signals:
    void countChanged();

private:
    class Part : public QSortFilterProxyModel
    {
    public:
        explicit Part(bool offered)
            : m_offeredPart(offered)
        {}

    protected:
        bool filterAcceptsRow(int row, const QModelIndex &) const override
        {
            return (row < kOffered) == m_offeredPart;
        }

    private:
        bool m_offeredPart;
    };

    void applyFigure(RouteItem &item) const;
    void changed(int row);

    QList<RouteItem> m_items;
    QHash<QString, RouteFigure> m_figures;
    QString m_selectedKey;
    Part m_offered{true};
    Part m_overflow{false};
};
