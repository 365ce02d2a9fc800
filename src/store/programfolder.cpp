#include "store/programfolder.h"

#include <QCoreApplication>
#include <QDir>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

QString &overrideRoot()
{
    static QString root;
    return root;
}

} // namespace

ProgramFolder::ProgramFolder(const QString &root) : m_root(QDir::cleanPath(root))
{
}

QString ProgramFolder::dataFolder() const
{
    return m_root + u"/data"_s;
}

QString ProgramFolder::resultDatabasePath() const
{
    return dataFolder() + u'/' + resultDatabaseName();
}

QString ProgramFolder::configDatabasePath() const
{
    return dataFolder() + u'/' + configDatabaseName();
}

QString ProgramFolder::cookieFilePath() const
{
    return dataFolder() + u"/cookies.txt"_s;
}

QString ProgramFolder::tempFolder() const
{
    return m_root + u"/temp"_s;
}

QString ProgramFolder::logFilePath() const
{
    return tempFolder() + u"/pagrion.log"_s;
}

QString ProgramFolder::helpFilePath() const
{
    return m_root + u"/help.doc"_s;
}

QString ProgramFolder::readmeFilePath() const
{
    return m_root + u"/readme.txt"_s;
}

ProgramFolder programFolder()
{
    if (!overrideRoot().isEmpty())
        return ProgramFolder(overrideRoot());
    Q_ASSERT_X(QCoreApplication::instance(), "programFolder",
               "the executable's folder is known only once the application object exists");
    return ProgramFolder(QCoreApplication::applicationDirPath());
}

void setProgramFolder(const QString &root)
{
    overrideRoot() = root.isEmpty() ? QString() : QDir(root).absolutePath();
}

QString programFolderOverride()
{
    return overrideRoot();
}

} // namespace pagrion
