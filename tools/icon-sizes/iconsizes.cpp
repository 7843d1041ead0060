// Writes the hicolor icon theme's sizes of one picture: iconsizes SOURCE OUTPUT-FOLDER NAME SIZE...
// gives OUTPUT-FOLDER/<size>x<size>/apps/NAME.png for each size. Used by the install rules.
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 5) {
        std::fprintf(stderr, "usage: iconsizes SOURCE OUTPUT-FOLDER NAME SIZE...\n");
        return 2;
    }
    const QImage source(arguments.at(1));
    if (source.isNull()) {
        std::fprintf(stderr, "iconsizes: cannot read %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    for (const QString &sizeText : arguments.mid(4)) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(arguments.at(2)).arg(size);
        const QString path = QStringLiteral("%1/%2.png").arg(folder, arguments.at(3));
        if (!ok || size <= 0 || !QDir().mkpath(folder) ||
            !source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(path)) {
            std::fprintf(stderr, "iconsizes: cannot write size %s\n", qPrintable(sizeText));
            return 1;
        }
    }
    return 0;
}
