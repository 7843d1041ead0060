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
#ifdef Q_OS_WIN
        // Under wine the service is the build machine's python (NIMBRA_PYTHON), which sees the folder
        // without its drive (see temporaryTemplate).
        const QString program = qEnvironmentVariable("NIMBRA_PYTHON", QStringLiteral("python"));
        const QString servicePortFile =
            portFile.startsWith(QLatin1String("Z:/")) ? portFile.mid(2) : portFile;
        const QStringList stopping{QStringLiteral("--stop-without-port-file")};
#else
        const QString program = QStringLiteral("python3");
        const QString servicePortFile = portFile;
        const QStringList stopping;
#endif
        m_process.start(
            program, QStringList{QStringLiteral(NIMBRA_SOURCE_DIR "/tools/devservice/devservice.py"),
                                 QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--port-file"),
                                 servicePortFile, QStringLiteral("--quiet")} +
                         stopping + extraArguments);
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
#ifdef Q_OS_WIN
        // A host program started from wine takes no Windows signal: it ends once its port file is gone.
        m_dir.remove();
#endif
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }

    bool isRunning() const
    {
        return m_port > 0 && m_process.state() == QProcess::Running;
    }
    int port() const
    {
        return m_port;
    }
    QString baseUrl() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
    }

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
    static QString temporaryTemplate()
    {
#ifdef Q_OS_WIN
        // NIMBRA_DEVSERVICE_DIR: a folder of the build machine that the wine prefix shows as Z:.
        if (const QString shared = qEnvironmentVariable("NIMBRA_DEVSERVICE_DIR"); !shared.isEmpty())
            return QStringLiteral("Z:") + QDir::fromNativeSeparators(shared) +
                   QStringLiteral("/devservice-XXXXXX");
#endif
        return QDir::tempPath() + QStringLiteral("/devservice-XXXXXX");
    }

    QTemporaryDir m_dir{temporaryTemplate()};
    QProcess m_process;
    int m_port = 0;
};
