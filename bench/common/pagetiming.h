// Timing of page switches, shared by the start-up benchmark's window probe and its floor program.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QQmlProperty>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

// Milliseconds from `activate()` until `loader` (a Qt Quick Loader) is ready, or -1 when it fails or
// is not ready within `timeoutMs`.
inline double loaderReadyMs(QObject *loader, const std::function<void()> &activate, int timeoutMs)
{
    constexpr int kReady = 1;
    constexpr int kError = 3;
    if (!loader)
        return -1;
    QQmlProperty status(loader, QStringLiteral("status"));
    QEventLoop loop;
    status.connectNotifySignal(&loop, SLOT(quit()));
    // Wakes the wait now and then so that the time-out holds even if the loader never changes again.
    QTimer wake;
    QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    wake.start(std::max(1, timeoutMs / 10));
    QElapsedTimer timer;
    timer.start();
    activate();
    int state = status.read().toInt();
    while (state != kReady && state != kError && timer.elapsed() < timeoutMs) {
        loop.exec();
        state = status.read().toInt();
    }
    const double elapsedMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return state == kReady ? elapsedMs : -1;
}

// The next-event figures of the "[PERF] 页面切换 tab=<tab> next-event=<n>ms" lines for one tab.
inline std::vector<double> nextEventMs(const QStringList &lines, const QString &tab)
{
    const QRegularExpression pattern(QStringLiteral("^\\[PERF\\] 页面切换 tab=%1 next-event=(\\d+)ms$")
                                         .arg(QRegularExpression::escape(tab)));
    std::vector<double> values;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = pattern.match(line);
        if (match.hasMatch())
            values.push_back(match.captured(1).toDouble());
    }
    return values;
}
