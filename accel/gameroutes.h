#pragma once

#include <QList>
#include <QString>

// Game address ranges as host routes towards the core's TUN address: parsing of the game's entries and
// the journal that lets the next start remove routes a dead client left behind.
namespace nimbra::accel {

struct RouteEntry
{
    QString destination; // dotted network address
    QString mask;        // dotted netmask
    QString gateway;     // the TUN address the route points at

    QString key() const { return destination + QLatin1Char('/') + mask; }
    bool operator==(const RouteEntry &) const = default;
};

// "a.b.c.d" (taken as its /16) or "a.b.c.d/n". On failure returns false with the user-facing message.
bool parseRouteEntry(const QString &text, RouteEntry &entry, QString &error);

// Why a parsed entry must not be installed, or empty text when it may be. The list comes from the
// service: a range wider than /12 would take far more than a game's servers into the tunnel, private,
// shared and local ranges are never a game server's, and the tunnel's own way out (the node's and the
// service's addresses in keepOut, dotted quads) must stay outside it.
QString routeRefusal(const RouteEntry &entry, const QStringList &keepOut = {});

// The routes this client added and has not removed yet, kept in a small file so that they survive a
// crash of the client. Routes change in batches and each batch rewrites the file once, atomically;
// an empty journal removes it.
class RouteJournal
{
public:
    explicit RouteJournal(const QString &path);

    QList<RouteEntry> load() const;
    void save(const QList<RouteEntry> &entries);
    void clear();
    QString path() const { return m_path; }

private:
    QString m_path;
};

} // namespace nimbra::accel
