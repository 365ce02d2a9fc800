#include "support/tempprogramfolder.h"

#include "store/databasesetup.h"

using namespace Qt::StringLiterals;

namespace pagrion::test {

QStringList sourceSqlFiles()
{
    const QString data = qEnvironmentVariable("PAGRION_SOURCE_DIR") + u"/data/"_s;
    return {data + u"schema.sql"_s, data + u"seed.sql"_s};
}

TempProgramFolder::TempProgramFolder() : m_previous(programFolderOverride())
{
    if (!m_dir.isValid()) {
        m_error = m_dir.errorString();
    } else if (qEnvironmentVariableIsEmpty("PAGRION_SOURCE_DIR")) {
        m_error = u"PAGRION_SOURCE_DIR is not set"_s;
    } else if (auto created = createMissingDatabases(folder(), sourceSqlFiles()); !created) {
        m_error = created.error();
    }
    setProgramFolder(m_dir.path());
}

TempProgramFolder::~TempProgramFolder()
{
    setProgramFolder(m_previous);
}

} // namespace pagrion::test
