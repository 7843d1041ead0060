// A platform plugin that proves it was loaded: loading the library runs its constructor, which says so
// and ends the process. tst_startup plants it where a user of the capability-carrying client could.
#include <QObject>

#include <cstdio>
#include <unistd.h>

namespace {

[[gnu::constructor]] void announceLoad()
{
    std::fputs("PLANTED PLUGIN LOADED\n", stderr);
    std::fflush(stderr);
    _exit(42);
}

} // namespace

class PlantedPlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE
                          "planted.json")
};

#include "plantedplugin.moc"
