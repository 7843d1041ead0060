#include "app/startup.h"

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(NimbraPlugin)

int main(int argc, char *argv[])
{
    return nimbra::runApplication(argc, argv);
}
