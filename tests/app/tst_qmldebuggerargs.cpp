#include "app/qmldebuggerargs.h"

#include <QTest>

#include <string>
#include <vector>

using namespace nimbra;

namespace {

struct Args
{
    explicit Args(std::vector<std::string> values)
        : storage(std::move(values))
    {
        for (auto &value : storage)
            pointers.push_back(value.data());
        pointers.push_back(nullptr);
        argc = static_cast<int>(storage.size());
    }

    QStringList kept() const
    {
        QStringList result;
        for (int i = 0; i < argc; ++i)
            result << QString::fromUtf8(pointers[static_cast<size_t>(i)]);
        return result;
    }

    std::vector<std::string> storage;
    std::vector<char *> pointers;
    int argc = 0;
};

} // namespace

class TestQmlDebuggerArgs : public QObject
{
    Q_OBJECT

private slots:
    void filtering()
    {
        Args plain({"nimbra", "-qmljsdebugger=port:1234,block", "--other"});
        QVERIFY(filterQmlDebuggerArguments(plain.argc, plain.pointers.data(), false));
        QCOMPARE(plain.kept(), (QStringList{"nimbra", "--other"}));
        QCOMPARE(plain.pointers[2], nullptr);

        Args twice({"-qmljsdebugger=a", "nimbra", "-qmljsdebugger=b"});
        QVERIFY(filterQmlDebuggerArguments(twice.argc, twice.pointers.data(), false));
        QCOMPARE(twice.kept(), QStringList{"nimbra"});

        Args enabled({"nimbra", "-qmljsdebugger=port:1234", "--other"});
        QVERIFY(filterQmlDebuggerArguments(enabled.argc, enabled.pointers.data(), true));
        QCOMPARE(enabled.kept(), (QStringList{"nimbra", "-qmljsdebugger=port:1234", "--other"}));

        // Only the exact, case-sensitive prefix with "=" counts.
        Args lookalikes({"nimbra", "-qmljsdebugger", "-QMLJSDEBUGGER=port:1", "x-qmljsdebugger=1"});
        QVERIFY(!filterQmlDebuggerArguments(lookalikes.argc, lookalikes.pointers.data(), false));
        QCOMPARE(lookalikes.argc, 4);
        QVERIFY(!filterQmlDebuggerArguments(lookalikes.argc, lookalikes.pointers.data(), true));
    }

    void environmentSwitch()
    {
        const QByteArray name("NIMBRA_ENABLE_QML_DEBUGGER");
        qunsetenv(name);
        QVERIFY(!qmlDebuggerExplicitlyEnabled());
        for (const char *value : {"0", "2", "yes", "", "1x"}) {
            qputenv(name, value);
            QVERIFY2(!qmlDebuggerExplicitlyEnabled(), value);
        }
        qputenv(name, "1");
        QVERIFY(qmlDebuggerExplicitlyEnabled());
        qunsetenv(name);
    }
};

QTEST_GUILESS_MAIN(TestQmlDebuggerArgs)
#include "tst_qmldebuggerargs.moc"
