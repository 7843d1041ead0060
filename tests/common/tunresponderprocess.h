#pragma once

// Runs nimbra_tunresponder (tests/common/tunresponder.cpp, its usage at the top) for one test: nodes
// with a set round trip and loss on a TUN device. Start it only once the test is inside a private
// network namespace of its own (privatenetwork.h), as root; the test target defines
// NIMBRA_TUN_RESPONDER as the program's path.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class TunResponderProcess
{
public:
    // E.g. {"--address", "10.77.0.1/24", "--node", "10.77.0.15=15ms,0%", "--refuse", "10.77.0.20"}.
    // False, with the program's own words in error(), when it is not up within ten seconds.
    bool start(const QStringList &arguments)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral(NIMBRA_TUN_RESPONDER), arguments);
        while (m_process.waitForReadyRead(10000)) {
            if (m_process.canReadLine() && m_process.readLine().trimmed() == "ready")
                return true;
        }
        m_process.waitForFinished(1000);
        m_error = QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
        if (m_error.isEmpty())
            m_error = m_process.errorString();
        return false;
    }

    // A node's new round trip and loss, in force for the SYNs that arrive after it.
    void setNode(const QString &address, int delayMs, int lossPercent)
    {
        command(QStringLiteral("%1 %2 %3").arg(address).arg(delayMs).arg(lossPercent));
    }
    void setRefused(const QString &address) { command(address + QStringLiteral(" refuse")); }
    void setSilent(const QString &address) { command(address + QStringLiteral(" silent")); }

    QString error() const { return m_error; }

    ~TunResponderProcess()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel(); // it ends when its input closes
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

private:
    void command(const QString &line)
    {
        m_process.write(line.toUtf8() + '\n');
        m_process.waitForBytesWritten(1000);
    }

    QProcess m_process;
    QString m_error;
};
