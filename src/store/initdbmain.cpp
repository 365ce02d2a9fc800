// pagrion-initdb: run by the build to put the databases into the program
// folder. Existing databases hold collected data and are left as they are.

#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include "store/databasesetup.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fputs("usage: pagrion-initdb PROGRAM_FOLDER SQL_FILE...\n", stderr);
        return 2;
    }
    const auto created = pagrion::createMissingDatabases(pagrion::ProgramFolder(args.first()), args.mid(1));
    if (!created) {
        std::fprintf(stderr, "pagrion-initdb: %s\n", qPrintable(created.error()));
        return 1;
    }
    for (const QString &path : created.value())
        std::printf("created %s\n", qPrintable(QDir::toNativeSeparators(path)));
    return 0;
}
