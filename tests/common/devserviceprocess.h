#pragma once

// Starts the dev service (tools/devservice) on a free loopback port for one test and stops it again.
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

class DevServiceProcess
{
public:
    explicit DevServiceProcess(const QStringList &extraArguments = {})
    {
        const QString portFile = m_dir.filePath(QStringLiteral("port"));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("python3"),
                        QStringList{QStringLiteral(NIMBRA_SOURCE_DIR "/tools/devservice/devservice.py"),
                                    QStringLiteral("--port"), QStringLiteral("0"),
                                    QStringLiteral("--port-file"), portFile, QStringLiteral("--quiet")} +
                            extraArguments);
        m_process.waitForStarted(10000);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 15000 && m_process.state() != QProcess::NotRunning) {
            QFile file(portFile);
            if (file.open(QIODevice::ReadOnly)) {
                m_port = file.readAll().trimmed().toInt();
                if (m_port > 0)
                    break;
            }
            QThread::msleep(20);
        }
    }

    ~DevServiceProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }

    bool isRunning() const { return m_port > 0 && m_process.state() == QProcess::Running; }
    int port() const { return m_port; }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

    // The SMS code the service last "sent" to a phone, read back through its dev-only endpoint; empty
    // when there is none.
    QString latestSmsCode(const QString &phone) const
    {
        return post(QStringLiteral("/__dev/sms/latest"), QJsonObject{{QStringLiteral("phone"), phone}})
            .value(QStringLiteral("data"))
            .toObject()
            .value(QStringLiteral("code"))
            .toString();
    }

    // One unsigned JSON POST to the service (its dev-only endpoints, such as "/__dev/pay"); the whole
    // answer, or an empty object when there was none.
    QJsonObject post(const QString &path, const QJsonObject &body) const
    {
        QNetworkAccessManager network;
        QNetworkRequest request(QUrl(baseUrl() + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        request.setTransferTimeout(10000);
        QNetworkReply *reply = network.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
        reply->deleteLater();
        return answer;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};
