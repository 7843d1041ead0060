// Driving the main window from C++ the way a script would: QML expressions evaluated in the window's
// context, waits that keep the event loop turning, and what the home page's pictures cost.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <cstdio>

namespace windowscript {

inline void spin(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

inline QVariant evaluate(QObject *window, const QString &script)
{
    QQmlExpression expression(qmlContext(window), window, script);
    const QVariant value = expression.evaluate();
    if (expression.hasError())
        std::fprintf(stderr, "%s: %s\n", qPrintable(script), qPrintable(expression.error().toString()));
    return value;
}

inline bool waitFor(QObject *window, const QString &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!evaluate(window, condition).toBool() && timer.elapsed() < timeoutMs)
        spin(20);
    return evaluate(window, condition).toBool();
}

// The home page's decoded background pictures, as the hero backdrop counts them.
struct HomePictures
{
    int decoded = 0;
    double bytes = 0;
    int commonGames = 0;
    int knownGames = 0;
};

inline HomePictures homePictures(QObject *window)
{
    return {evaluate(window, QStringLiteral("pages.home.backdrop.decodedCount")).toInt(),
            evaluate(window, QStringLiteral("pages.home.backdrop.decodedBytes")).toDouble(),
            evaluate(window, QStringLiteral("N.App.globalData.commonGames.length")).toInt(),
            evaluate(window,
                     QStringLiteral("Session.allKnownGames(N.App.globalData.commonGames, "
                                    "N.App.globalData.gamePageLoaded ? N.App.globalData.games : []).length"))
                .toInt()};
}

// Waits until the common games are in and none of the hero backdrop's pictures is still loading (a
// game may have no picture, or one that fails), or until the time-out passes.
inline bool waitForHomePictures(QObject *window, int timeoutMs)
{
    return waitFor(window,
                   QStringLiteral("N.App.globalData.commonGames.length > 0 && !Array.prototype.some.call("
                                  "pages.home.backdrop.children, item => item.status === Image.Loading)"),
                   timeoutMs);
}

} // namespace windowscript
