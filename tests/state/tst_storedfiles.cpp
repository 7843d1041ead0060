// The files kept across runs: private modes, whole-or-nothing writes on a full disk, the size bound and
// a damaged route journal.
#include "accel/gameroutes.h"
#include "app/runtimelog.h"
#include "state/globaldata.h"
#include "state/storedfiles.h"
#include "testsettings.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#ifndef Q_OS_WIN
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using nimbra::accel::RouteEntry;
using nimbra::accel::RouteJournal;

namespace {

QStringList g_messages;

void capture(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    g_messages.append((type == QtWarningMsg ? QStringLiteral("W ") : QStringLiteral("I ")) + message);
}

bool logged(const QString &needle)
{
    for (const QString &message : std::as_const(g_messages)) {
        if (message.contains(needle))
            return true;
    }
    return false;
}

#ifndef Q_OS_WIN
int modeOf(const QString &path)
{
    struct stat info = {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}
#endif

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString &path, const QByteArray &content, [[maybe_unused]] int mode = 0644)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    file.close();
#ifndef Q_OS_WIN
    chmod(QFile::encodeName(path).constData(), mode_t(mode));
#endif
}

const RouteEntry kFirst{QStringLiteral("198.51.100.0"), QStringLiteral("255.255.255.0"),
                        QStringLiteral("172.19.0.1")};
const RouteEntry kSecond{QStringLiteral("203.0.113.0"), QStringLiteral("255.255.255.0"),
                         QStringLiteral("172.19.0.1")};

QString dataPath(const QString &name)
{
    return QDir(GlobalData::dataDirectory()).filePath(name);
}

// One stored file: how to save something new into it, and how to tell that a save went through.
struct StoredFileCase
{
    QString path;
    std::function<void()> save;
};

#ifndef Q_OS_WIN
StoredFileCase storedFileCase(const QString &which, GlobalData &data)
{
    if (which == QLatin1String("recent"))
        return {dataPath(QStringLiteral("recent_boosted_game.json")), [&data] {
                    data.saveRecentBoostedGame({{"id", "lol"}, {"name", QString(4000, QLatin1Char('x'))}});
                }};
    if (which == QLatin1String("routes"))
        return {dataPath(QStringLiteral("game_route_selections.json")), [&data] {
                    data.saveGameRouteSelection(QStringLiteral("lol"), QString(4000, QLatin1Char('k')));
                }};
    const QString path = dataPath(QStringLiteral("route_journal.json"));
    return {path, [path] {
                RouteJournal(path).save({kFirst, kSecond});
            }};
}
#endif

} // namespace

class TestStoredFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useTestSettings();
        QDir(GlobalData::dataDirectory()).removeRecursively();
    }

    void init()
    {
        g_messages.clear();
        qInstallMessageHandler(capture);
    }
    void cleanup() { qInstallMessageHandler(nullptr); }

#ifdef Q_OS_WIN
    // Where a real run keeps its files (no test mode): the data files and the runtime log in the
    // user's local application data, the settings in the user's registry hive.
    void windowsLocations()
    {
        QStandardPaths::setTestModeEnabled(false);
        const auto restore = qScopeGuard([] { QStandardPaths::setTestModeEnabled(true); });
        const QString local = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
        QVERIFY(!local.isEmpty());
        QCOMPARE(GlobalData::dataDirectory(), local + QStringLiteral("/Nimbra/Nimbra"));

        nimbra::openRuntimeLog();
        nimbra::closeRuntimeLog();
        qInstallMessageHandler(capture);
        const QString log = local + QStringLiteral("/Nimbra/Nimbra/runtime.log");
        QVERIFY(readAll(log).contains(
            QStringLiteral("[APP] 运行日志文件：%1").arg(QDir::toNativeSeparators(log)).toUtf8()));

        QSettings settings;
        QCOMPARE(settings.fileName(), QStringLiteral("\\HKEY_CURRENT_USER\\Software\\Nimbra\\Nimbra"));
        // No file to set aside when it grows too large.
        QCOMPARE(nimbra::storage::defaultSettingsPath(), QString());
        QVERIFY(!nimbra::storage::setAsideOversizedSettings(nimbra::storage::defaultSettingsPath()));
        settings.setValue(QStringLiteral("auth/phone"), QStringLiteral("13800138000"));
        QVERIFY(nimbra::storage::saveSettings(settings));
        QSettings registry(QStringLiteral("HKEY_CURRENT_USER\\Software\\Nimbra\\Nimbra"),
                           QSettings::NativeFormat);
        QCOMPARE(registry.value(QStringLiteral("auth/phone")).toString(), QStringLiteral("13800138000"));
        settings.clear();
        QFile::remove(log);
    }
#endif

#ifndef Q_OS_WIN
    // Every file that holds the session or the user's history is 0600 in a 0700 folder, also when an
    // older one was 0644 and whatever writes it.
    void privateModes_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("stored file") << "stored";
        QTest::newRow("settings") << "settings";
        QTest::newRow("runtime log") << "log";
    }
    void privateModes()
    {
        QFETCH(QString, which);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("made/by/us"));
        QDir(GlobalData::dataDirectory()).removeRecursively();
        for (const bool existing : {false, true}) {
            QString path;
            if (which == QLatin1String("stored")) {
                // The data files, through the state store.
                path = dataPath(QStringLiteral("recent_boosted_game.json"));
                if (existing)
                    writeRaw(path, "{}", 0644);
                GlobalData data;
                data.saveRecentBoostedGame({{"id", QStringLiteral("jx3-%1").arg(existing)}});
                QVERIFY(readAll(path).contains("jx3-"));
                QCOMPARE(modeOf(path), 0600);
                QCOMPARE(modeOf(GlobalData::dataDirectory()), 0700);
                chmod(QFile::encodeName(GlobalData::dataDirectory()).constData(), 0755);
                continue;
            } else if (which == QLatin1String("settings")) {
                path = folder + QStringLiteral("/Nimbra.conf");
                if (existing)
                    writeRaw(path, "[auth]\nphone=1\n", 0644);
                QSettings settings(path, QSettings::IniFormat);
                nimbra::storage::protectSettingsFile(settings);
                settings.setValue(QStringLiteral("auth/token"), QStringLiteral("t%1").arg(existing));
                QVERIFY(nimbra::storage::saveSettings(settings));
                QVERIFY(readAll(path).contains("token=t"));
            } else {
                path = folder + QStringLiteral("/runtime.log");
                if (existing)
                    writeRaw(path, "old\n", 0644);
                nimbra::openRuntimeLog(folder);
                nimbra::closeRuntimeLog();
                qInstallMessageHandler(capture);
            }
            QCOMPARE(modeOf(path), 0600);
            QCOMPARE(modeOf(folder), 0700);
            QCOMPARE(modeOf(dir.filePath(QStringLiteral("made"))), 0700);
            if (!existing)
                chmod(QFile::encodeName(folder).constData(), 0755);
        }
        // Folders that were there already, above ours, are the user's and keep their mode.
        QCOMPARE(modeOf(dir.path()), 0700);
    }

    // On a full disk a save keeps the previous file whole and says that it failed.
    void fullDisk_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("failureLine");
        QTest::newRow("recent game") << "recent"
                                     << "[Data] 最近加速游戏保存失败";
        QTest::newRow("route choice") << "routes"
                                      << "[Data] 游戏线路选择提交失败";
        QTest::newRow("route journal") << "journal"
                                       << "[Route] 路由记录写入失败";
        QTest::newRow("settings") << "settings"
                                  << "[Data] 设置保存失败";
    }
    void fullDisk()
    {
        QFETCH(QString, which);
        QFETCH(QString, failureLine);
        if (geteuid() != 0)
            QSKIP("needs root: the full disk is a tiny tmpfs mounted in a private mount namespace");
        QVERIFY(enterPrivateMounts());
        QDir(GlobalData::dataDirectory()).removeRecursively();
        QVERIFY(QDir().mkpath(GlobalData::dataDirectory()));
        const QByteArray directory = QFile::encodeName(GlobalData::dataDirectory());
        QVERIFY2(mount("tmpfs", directory.constData(), "tmpfs", 0, "size=64k,mode=0700") == 0,
                 strerror(errno));
        const auto unmount = qScopeGuard([&] { umount2(directory.constData(), MNT_DETACH); });

        GlobalData data;
        const QString settingsPath = dataPath(QStringLiteral("Nimbra.conf"));
        QSettings settings(settingsPath, QSettings::IniFormat);
        StoredFileCase file = which == QLatin1String("settings")
                                  ? StoredFileCase{settingsPath,
                                                   [&settings] {
                                                       settings.setValue(QStringLiteral("auth/token"),
                                                                         QString(4000, QLatin1Char('t')));
                                                       nimbra::storage::saveSettings(settings);
                                                   }}
                                  : storedFileCase(which, data);
        // A good file first.
        if (which == QLatin1String("recent"))
            data.saveRecentBoostedGame({{"id", "jx3"}, {"name", "剑网3"}});
        else if (which == QLatin1String("routes"))
            data.saveGameRouteSelection(QStringLiteral("jx3"), QStringLiteral("route-a"));
        else if (which == QLatin1String("journal"))
            RouteJournal(file.path).save({kFirst});
        else {
            settings.setValue(QStringLiteral("auth/token"), QStringLiteral("good"));
            QVERIFY(nimbra::storage::saveSettings(settings));
        }
        const QByteArray good = readAll(file.path);
        QVERIFY(!good.isEmpty());

        // Then nothing left on the disk.
        QFile filler(dataPath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        filler.close();

        g_messages.clear();
        file.save();
        QVERIFY2(logged(QStringLiteral("W ") + failureLine), qPrintable(g_messages.join(QLatin1Char('\n'))));
        QVERIFY(!logged(QStringLiteral("已保存")));
        QCOMPARE(readAll(file.path), good);
        // Nothing half-written is left beside it.
        const QStringList left = QDir(GlobalData::dataDirectory()).entryList(QDir::Files);
        QVERIFY2(left.size() == 2, qPrintable(left.join(QLatin1Char(' '))));
        // The state in memory follows the file, not the failed save.
        if (which == QLatin1String("recent"))
            QCOMPARE(data.recentBoostedGame().value("id").toString(), QStringLiteral("jx3"));
        if (which == QLatin1String("routes"))
            QCOMPARE(data.savedGameRouteSelection(QStringLiteral("lol")), QString());
    }
#endif

    // A stored file over the bound is not read: a warning, and the defaults.
    void oversizedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("warning");
        QTest::newRow("recent game") << "recent_boosted_game.json"
                                     << "[Data] 最近加速游戏文件无效，已忽略";
        QTest::newRow("route choices") << "game_route_selections.json"
                                       << "[Data] 游戏线路选择配置无效，已忽略";
        QTest::newRow("route journal") << "route_journal.json"
                                       << "[Route] 路由记录无效，已忽略";
    }
    void oversizedFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, warning);
        QDir(GlobalData::dataDirectory()).removeRecursively();
        // Valid JSON whose first bytes would restore something, padded past the bound.
        QByteArray content =
            name == QLatin1String("route_journal.json")
                ? QByteArray(
                      R"([{"destination":"198.51.100.0","mask":"255.255.255.0","gateway":"172.19.0.1"})")
                : QByteArray(R"({"id":"jx3","jx3":"route-a")");
        content += QByteArray(int(nimbra::storage::kStoredFileSizeLimit), ' ');
        content += name == QLatin1String("route_journal.json") ? "]" : "}";
        writeRaw(dataPath(name), content);

        GlobalData data;
        const QList<RouteEntry> journal = RouteJournal(dataPath(QStringLiteral("route_journal.json"))).load();
        QVERIFY2(logged(QStringLiteral("W ") + warning), qPrintable(g_messages.join(QLatin1Char('\n'))));
        QVERIFY(data.recentBoostedGame().isEmpty());
        QCOMPARE(data.savedGameRouteSelection(QStringLiteral("jx3")), QString());
        QVERIFY(journal.isEmpty());
        QCOMPARE(QFileInfo(dataPath(name)).size(), content.size());
    }

#ifndef Q_OS_WIN
    // An oversized settings file is moved aside before anything parses it (or, where it cannot be
    // moved, left alone and not used); either way the run starts with empty settings. (Windows keeps
    // the settings in the registry.)
    void oversizedSettings_data()
    {
        QTest::addColumn<bool>("oversized");
        QTest::addColumn<bool>("movable");
        QTest::newRow("normal size") << false << true;
        QTest::newRow("oversized") << true << true;
        QTest::newRow("oversized, read-only folder") << true << false;
    }
    void oversizedSettings()
    {
        QFETCH(bool, oversized);
        QFETCH(bool, movable);
        if (!movable && (geteuid() != 0 || !enterPrivateMounts()))
            QSKIP("needs root: the read-only folder is a tmpfs in a private mount namespace");
        const QString path = nimbra::storage::defaultSettingsPath();
        const QString folder = QFileInfo(path).path();
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        const QByteArray directory = QFile::encodeName(folder);
        if (!movable)
            QVERIFY2(mount("tmpfs", directory.constData(), "tmpfs", 0, "mode=0700") == 0, strerror(errno));
        const auto restore = qScopeGuard([&] {
            if (!movable)
                umount2(directory.constData(), MNT_DETACH);
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                               QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        });
        QByteArray content("[auth]\ntoken=planted\n");
        if (oversized)
            content += "[junk]\nkey=" + QByteArray(int(nimbra::storage::kStoredFileSizeLimit), 'j') + "\n";
        writeRaw(path, content, 0600);
        if (!movable)
            QVERIFY(mount(nullptr, directory.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0);

        QCOMPARE(nimbra::storage::setAsideOversizedSettings(path), oversized);
        QCOMPARE(logged(QStringLiteral("W [Data] 设置文件无效")), oversized);
        QSettings settings;
        if (movable)
            QCOMPARE(settings.fileName(), path);
        QCOMPARE(settings.value(QStringLiteral("auth/token")).toString(),
                 oversized ? QString() : QStringLiteral("planted"));
        // The file set aside is kept whole, and the settings of this run still work.
        const QStringList aside = QDir(folder).entryList(
            {QFileInfo(path).fileName() + QStringLiteral(".too-large-*")}, QDir::Files);
        QCOMPARE(aside.size(), oversized && movable ? 1 : 0);
        if (!aside.isEmpty())
            QCOMPARE(readAll(QDir(folder).filePath(aside.constFirst())), content);
        settings.setValue(QStringLiteral("auth/token"), QStringLiteral("fresh"));
        QCOMPARE(nimbra::storage::saveSettings(settings), movable);
        QCOMPARE(readAll(path).contains("token=fresh"), movable);
        if (!movable)
            QCOMPARE(readAll(path), content);
    }
#endif

    // A damaged journal is reported, and the routes it still names are kept for the cleanup.
    void damagedJournal_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("warned");
        const QByteArray first =
            R"({"destination":"198.51.100.0","mask":"255.255.255.0","gateway":"172.19.0.1"})";
        const QByteArray second =
            R"({"destination":"203.0.113.0","mask":"255.255.255.0","gateway":"172.19.0.1"})";
        QTest::newRow("intact") << "[" + first + "," + second + "]" << 2 << false;
        QTest::newRow("cut short") << "[" + first + ",\n" + second + ",\n{\"destination\":\"192.0" << 2
                                   << true;
        QTest::newRow("bad entry") << "[" + first + R"(,{"destination":"x","mask":"1","gateway":""}])" << 1
                                   << true;
        QTest::newRow("not an array") << QByteArray(R"({"a":1})") << 0 << true;
        QTest::newRow("binary") << QByteArray("\x00\xff\x01{}", 5) << 0 << true;
    }
    void damagedJournal()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, entries);
        QFETCH(bool, warned);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("route_journal.json"));
        writeRaw(path, content);
        const QList<RouteEntry> loaded = RouteJournal(path).load();
        QCOMPARE(loaded.size(), entries);
        if (entries > 0)
            QCOMPARE(loaded.constFirst(), kFirst);
        QCOMPARE(logged(QStringLiteral("W [Route] 路由记录已损坏")), warned);
    }

#ifndef Q_OS_WIN
private:
    // Only this thread moves to the new namespace, and it is the one that writes.
    bool enterPrivateMounts()
    {
        if (!m_privateMounts)
            m_privateMounts =
                unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        return m_privateMounts;
    }

    bool m_privateMounts = false;
#endif
};

QTEST_MAIN(TestStoredFiles)
#include "tst_storedfiles.moc"
