#include "app/routelistmodel.h"
#include "app/sessionrules.h"

#include <algorithm>
#include <array>
#include <utility>

using namespace sessionrules;

// The service sorts its routes into groups ("shared_list", "idc_list", "idc_vip" …): the group's
// first word is the kind. A route outside a known group has no kind and no badge; its name is never
// read for one.
RouteKind routeKind(const QVariantMap &record)
{
    static const std::array<std::pair<const char *, RouteKind>, 5> groups{{
        {"shared", {"shared", "共享节点", "共享节点", "globe"}},
        {"idc", {"idc", "IDC 专线", "IDC 专线", "link"}},
        {"isp", {"isp", "运营商", "运营商线路", "bolt"}},
        {"native", {"native", "原生住宅", "原生住宅", "shield"}},
        {"home", {"native", "原生住宅", "原生住宅", "shield"}},
    }};
    const QString group = textOf(plain(record.value(QStringLiteral("source_group")))).trimmed().toLower();
    const QString word = group.section(QLatin1Char('_'), 0, 0);
    for (const auto &[name, kind] : groups) {
        if (word == QLatin1String(name))
            return kind;
    }
    return {QString(), QString(), QString(), QStringLiteral("globe")};
}

RouteItem::RouteItem(const QVariantMap &route)
    : record(route)
    , key(nodeStableKey(route))
    , rowKey(firstText(route, {"id", "node_id", "route_id", "key", "name"}))
    , name(firstText(route, {"name"}))
    , region(firstText(route, {"region", "area", "location"}))
    , full(routeFull(route))
    , cap(plain(route.value(QStringLiteral("cap"))))
    , cur(plain(route.value(QStringLiteral("cur"))))
{
    const RouteKind routeKind = ::routeKind(route);
    kind = routeKind.kind;
    kindLabel = routeKind.label;
    typeLabel = routeKind.typeLabel;
    icon = routeKind.icon;
    const QVariant note = route.value(QStringLiteral("note"));
    const QString noteText = isBlank(note) ? QStringLiteral("可用线路") : textOf(note);
    detail = kindLabel.isEmpty() || kind == QLatin1String("shared")
                 ? noteText
                 : kindLabel + QStringLiteral(" · ") + noteText;
}

RouteListModel::RouteListModel(QObject *parent)
    : QAbstractListModel(parent)
{
    m_offered.setSourceModel(this);
    m_overflow.setSourceModel(this);
}

int RouteListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant RouteListModel::data(const QModelIndex &index, int role) const
{
    if (role != RouteRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return QVariant::fromValue(m_items.at(index.row()));
}

QHash<int, QByteArray> RouteListModel::roleNames() const
{
    return {{RouteRole, "route"}};
}

void RouteListModel::applyFigure(RouteItem &item) const
{
    const RouteFigure figure = m_figures.value(item.key);
    // A full route is not measured: it could not be joined anyway.
    item.latencyText =
        item.full && !m_figures.contains(item.key) ? QStringLiteral("已满 · 不测速") : figure.text;
    item.lossText = figure.lossText;
    item.measuring = figure.measuring;
}

void RouteListModel::changed(int row)
{
    emit dataChanged(index(row), index(row), {RouteRole});
}

void RouteListModel::setRoutes(const QVariantList &records)
{
    QList<RouteItem> items;
    items.reserve(records.size());
    for (const QVariant &value : records) {
        RouteItem item(plain(value).toMap());
        applyFigure(item);
        item.selected = !item.rowKey.isEmpty() && item.rowKey == m_selectedKey;
        items.append(item);
    }
    const bool sameRows = std::equal(items.cbegin(), items.cend(), m_items.cbegin(), m_items.cend(),
                                     [](const RouteItem &a, const RouteItem &b) { return a.key == b.key; });
    if (sameRows) {
        for (int row = 0; row < count(); ++row) {
            if (items.at(row).record != m_items.at(row).record) {
                m_items[row] = items.at(row);
                changed(row);
            }
        }
        return;
    }
    beginResetModel();
    m_items = items;
    endResetModel();
    emit countChanged();
}

void RouteListModel::setSelected(const QVariantMap &route)
{
    m_selectedKey = firstText(route, {"id", "node_id", "route_id", "key", "name"});
    for (int row = 0; row < count(); ++row) {
        RouteItem &item = m_items[row];
        const bool selected = !item.rowKey.isEmpty() && item.rowKey == m_selectedKey;
        if (selected != item.selected) {
            item.selected = selected;
            changed(row);
        }
    }
}

void RouteListModel::setFigure(const QString &key, const RouteFigure &figure)
{
    const auto known = m_figures.constFind(key);
    if (known != m_figures.cend() && *known == figure)
        return;
    m_figures.insert(key, figure);
    for (int row = 0; row < count(); ++row) {
        if (m_items.at(row).key == key) {
            applyFigure(m_items[row]);
            changed(row);
        }
    }
}

void RouteListModel::clearFigures()
{
    const QStringList keys = m_figures.keys();
    for (const QString &key : keys)
        setFigure(key, {});
    m_figures.clear();
}

void RouteListModel::endMeasuring()
{
    const QStringList keys = m_figures.keys();
    for (const QString &key : keys) {
        if (m_figures.value(key).measuring)
            setFigure(key, {});
    }
}
