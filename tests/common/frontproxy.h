#pragma once

// A loopback front of the dev service for one test: passes every request through and counts it by
// path, and can hold the answer to a chosen request until released, or drop it (the service has
// answered, the client's connection is closed without the answer).
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class FrontProxy : public QObject
{
public:
    enum class Answer
    {
        Pass,
        Hold,
        Drop
    };

    explicit FrontProxy(int servicePort)
        : m_servicePort(static_cast<quint16>(servicePort))
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *client = m_server.nextPendingConnection())
                link(client);
        });
    }

    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    // What becomes of the answers to the next requests for `path`, in order; later ones pass.
    void plan(const QByteArray &path, const QList<Answer> &answers) { m_plan[path] += answers; }
    int requests(const QByteArray &path) const { return m_requests.value(path); }
    int held() const { return static_cast<int>(m_held.size()); }
    void releaseHeld()
    {
        for (const auto &[client, bytes] : std::as_const(m_held)) {
            if (client)
                client->write(bytes);
        }
        m_held.clear();
    }

private:
    void link(QTcpSocket *client)
    {
        auto *service = new QTcpSocket(client);
        service->connectToHost(QHostAddress::LocalHost, m_servicePort);
        connect(client, &QTcpSocket::disconnected, this, [this, client] {
            m_incoming.remove(client);
            client->deleteLater();
        });
        connect(client, &QTcpSocket::readyRead, this, [this, client, service] {
            const QByteArray bytes = client->readAll();
            service->write(bytes);
            // The client sends one request at a time; note each one once it is complete.
            QByteArray &pending = m_incoming[client];
            pending += bytes;
            for (qsizetype headEnd = pending.indexOf("\r\n\r\n"); headEnd >= 0;
                 headEnd = pending.indexOf("\r\n\r\n")) {
                const QByteArray head = pending.left(headEnd).toLower();
                const qsizetype at = head.indexOf("content-length:");
                const qsizetype length =
                    at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
                if (pending.size() < headEnd + 4 + length)
                    return;
                const QByteArray path = pending.left(headEnd).split(' ').value(1);
                pending.remove(0, headEnd + 4 + length);
                ++m_requests[path];
                QList<Answer> &planned = m_plan[path];
                client->setProperty("answer",
                                    static_cast<int>(planned.isEmpty() ? Answer::Pass : planned.takeFirst()));
            }
        });
        connect(service, &QTcpSocket::readyRead, this, [this, client, service] {
            const QByteArray bytes = service->readAll();
            switch (static_cast<Answer>(client->property("answer").toInt())) {
            case Answer::Pass:
                client->write(bytes);
                break;
            case Answer::Hold:
                m_held.append({QPointer<QTcpSocket>(client), bytes});
                break;
            case Answer::Drop:
                client->abort();
                break;
            }
        });
    }

    quint16 m_servicePort;
    QHash<QByteArray, QList<Answer>> m_plan;
    QHash<QByteArray, int> m_requests;
    QHash<QTcpSocket *, QByteArray> m_incoming;
    QList<std::pair<QPointer<QTcpSocket>, QByteArray>> m_held;
    // Last, so it and its connections go first: their handlers use the members above.
    QTcpServer m_server;
};
