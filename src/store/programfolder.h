#pragma once

#include <QString>

namespace pagrion {

// File names of the two databases inside the program's data folder; they also
// name the sections of the schema and seed scripts.
inline QString resultDatabaseName()
{
    return QStringLiteral("data.mdb");
}
inline QString configDatabaseName()
{
    return QStringLiteral("system.dll");
}

// The folder the program's files live in, and the fixed paths below it.
class ProgramFolder final
{
public:
    explicit ProgramFolder(const QString &root);

    const QString &root() const { return m_root; }
    QString dataFolder() const;
    QString resultDatabasePath() const;
    QString configDatabasePath() const;
    // The logins both engines share, a Netscape cookie file; the full
    // browser keeps its profile in "browser" beside it.
    QString cookieFilePath() const;
    QString tempFolder() const;
    // The window's log, in the temp folder; older parts beside it as
    // "pagrion.log.1", "pagrion.log.2", ….
    QString logFilePath() const;
    QString helpFilePath() const;
    QString readmeFilePath() const;

private:
    QString m_root;
};

// The program folder in use: the one set with setProgramFolder, otherwise the
// executable's own folder (never the working directory, which depends on how
// the program was started).
ProgramFolder programFolder();

// Overrides the program folder (the --data option, tests); an empty path goes
// back to the executable's folder. A relative path is resolved now.
void setProgramFolder(const QString &root);
// The current override, empty when none is set.
QString programFolderOverride();

} // namespace pagrion
