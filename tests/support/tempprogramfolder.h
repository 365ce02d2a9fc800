#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "store/programfolder.h"

namespace pagrion::test {

// The repository's data/schema.sql and data/seed.sql (through PAGRION_SOURCE_DIR).
QStringList sourceSqlFiles();

// A program folder of its own for one test: fresh databases built from the
// repository's scripts and an empty temp folder. It is the program folder in
// use while the object lives; the previous one comes back afterwards.
class TempProgramFolder final
{
public:
    TempProgramFolder();
    ~TempProgramFolder();
    TempProgramFolder(const TempProgramFolder &) = delete;
    TempProgramFolder &operator=(const TempProgramFolder &) = delete;

    // False when the folder could not be prepared; error() says why.
    bool isValid() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }

    ProgramFolder folder() const { return ProgramFolder(m_dir.path()); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
    QString m_error;
};

} // namespace pagrion::test
