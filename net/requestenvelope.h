#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>

#include <functional>

// How one service request is built: URL joining, standard headers and the signature that proves
// possession of the per-device secret handed out at sign-in.
namespace nimbra::net {

struct SessionTriple
{
    qint64 guid = 0;
    QString deviceSecret;
    QString deviceId;
};

struct RequestFlags
{
    bool signedRequest = false;
    bool withDeviceId = false;
};

// Trimmed; empty becomes "/"; a leading "/" is added when missing. Nothing else is touched.
QString normalizedPath(const QString &path);

// Trimmed, with every trailing "/" removed.
QString normalizedBaseUrl(const QString &baseUrl);

// A fresh random nonce: 32 lower-case hex digits.
QByteArray randomNonce();

// Builds the request for posting `body` to `path`. The clock gives Unix seconds; the nonce source is
// only asked for signed requests. `guid` is the caller's, not the session's.
QNetworkRequest buildRequest(const QString &baseUrl, const QString &path, const QByteArray &body, qint64 guid,
                             RequestFlags flags, const SessionTriple &session,
                             const std::function<qint64()> &clock,
                             const std::function<QByteArray()> &nonceSource);

} // namespace nimbra::net
