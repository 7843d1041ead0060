#pragma once

// A private network namespace for tests that change routes or interfaces: the host's own are never
// touched. Needs root; the namespace is deleted on destruction.

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <atomic>
#include <fcntl.h>
#include <sched.h>
#include <thread>
#include <unistd.h>

class TestNetNamespace
{
public:
    TestNetNamespace()
    {
        static std::atomic<int> counter{0};
        m_name = QStringLiteral("nimbra-tst-%1-%2").arg(QCoreApplication::applicationPid()).arg(counter++);
        m_created = runIp({QStringLiteral("netns"), QStringLiteral("add"), m_name}, &m_error);
    }
    ~TestNetNamespace()
    {
        if (m_created)
            runIp({QStringLiteral("netns"), QStringLiteral("delete"), m_name});
    }
    TestNetNamespace(const TestNetNamespace &) = delete;
    TestNetNamespace &operator=(const TestNetNamespace &) = delete;

    bool isValid() const { return m_created; }
    const QString &name() const { return m_name; }
    const QString &error() const { return m_error; }

    // "ip -n <namespace> <arguments>"; false with the merged output in *output when it fails.
    bool ip(const QStringList &arguments, QString *output = nullptr) const
    {
        return runIp(QStringList{QStringLiteral("-n"), m_name} + arguments, output);
    }

    // Runs fn in a thread that has entered the namespace (sockets made there stay in it).
    template<typename Fn>
    bool runInside(Fn fn) const
    {
        bool entered = false;
        std::thread thread([&] {
            const QByteArray path = QByteArrayLiteral("/run/netns/") + m_name.toUtf8();
            const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
            entered = fd >= 0 && setns(fd, CLONE_NEWNET) == 0;
            if (fd >= 0)
                close(fd);
            if (entered)
                fn();
        });
        thread.join();
        return entered;
    }

    static bool runIp(const QStringList &arguments, QString *output = nullptr)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("ip"), arguments);
        const bool finished = process.waitForFinished(10000);
        if (output)
            *output = QString::fromLocal8Bit(process.readAll()).trimmed();
        return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

private:
    QString m_name;
    QString m_error;
    bool m_created = false;
};
