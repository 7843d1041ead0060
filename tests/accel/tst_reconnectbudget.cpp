// The reconnect budget: three restarts within any minute, the crash past that refused.
#include "accel/reconnectbudget.h"

#include <QTest>

using nimbra::accel::ReconnectBudget;

class TestReconnectBudget : public QObject
{
    Q_OBJECT

private slots:
    void crashes_data()
    {
        // Crash times in ms (-1: the user starts again), and what each crash gets: the restart's number
        // within the last minute, or 0 when it ends the session.
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("fourth within a minute ends it")
            << QList<qint64>{0, 1000, 2000, 3000} << QList<int>{1, 2, 3, 0};
        QTest::newRow("a restart a minute old no longer counts")
            << QList<qint64>{0, 1000, 2000, 59999, 60000} << QList<int>{1, 2, 3, 0, 3};
        QTest::newRow("a refused crash is no restart")
            << QList<qint64>{0, 10, 20, 30, 40, 60010} << QList<int>{1, 2, 3, 0, 0, 2};
        QTest::newRow("crashes far apart never run out")
            << QList<qint64>{0, 60000, 120000, 180000, 240000} << QList<int>{1, 1, 1, 1, 1};
        QTest::newRow("a user's start gives the whole budget back")
            << QList<qint64>{0, 10, 20, -1, 30, 40, 50, 60} << QList<int>{1, 2, 3, -1, 1, 2, 3, 0};
    }

    void crashes()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(QList<int>, expected);
        ReconnectBudget budget;
        QList<int> got;
        for (const qint64 time : times) {
            if (time < 0) {
                budget.reset();
                got << -1;
            } else {
                got << budget.recordCrash(time);
            }
        }
        QCOMPARE(got, expected);
    }
};

QTEST_GUILESS_MAIN(TestReconnectBudget)
#include "tst_reconnectbudget.moc"
