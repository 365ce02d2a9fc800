#include "store/databasesetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "store/database.h"
#include "store/sqlscript.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

Status runAll(Database &db, const QStringList &statements)
{
    return db.inTransaction([&]() -> Status {
        for (const QString &statement : statements) {
            if (auto done = db.run(statement); !done)
                return Error{done.error()};
        }
        return success();
    });
}

Status makeFolder(const QString &path)
{
    if (QDir().mkpath(path))
        return success();
    return Error{u"无法创建文件夹：%1"_s.arg(QDir::toNativeSeparators(path))};
}

} // namespace

Status createDatabase(const QString &path, const QString &section, const QStringList &sqlFiles)
{
    if (QFileInfo::exists(path))
        return Error{u"数据库文件已经存在：%1"_s.arg(QDir::toNativeSeparators(path))};
    auto statements = scriptFileStatements(sqlFiles, section);
    if (!statements)
        return Error{statements.error()};
    if (statements.value().isEmpty())
        return Error{u"SQL 脚本中没有 %1 的语句"_s.arg(section)};
    if (Status made = makeFolder(QFileInfo(path).absolutePath()); !made)
        return made;

    const QString partial = path + u".part"_s;
    QFile::remove(partial); // left over from an interrupted run
    Status built = [&]() -> Status {
        Database db;
        if (Status created = db.create(partial); !created)
            return created;
        return runAll(db, statements.value());
    }();
    if (built && !QFile::rename(partial, path))
        built = Error{u"无法创建数据库文件：%1"_s.arg(QDir::toNativeSeparators(path))};
    if (!built)
        QFile::remove(partial);
    return built;
}

Result<QStringList> createMissingDatabases(const ProgramFolder &folder, const QStringList &sqlFiles)
{
    QStringList created;
    const QList<std::pair<QString, QString>> databases = {
        {folder.resultDatabasePath(), resultDatabaseName()},
        {folder.configDatabasePath(), configDatabaseName()},
    };
    for (const auto &[path, section] : databases) {
        if (QFileInfo::exists(path))
            continue;
        if (Status done = createDatabase(path, section, sqlFiles); !done)
            return Error{done.error()};
        created.append(path);
    }
    if (Status made = makeFolder(folder.tempFolder()); !made)
        return Error{made.error()};
    return created;
}

} // namespace pagrion
