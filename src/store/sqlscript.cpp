#include "store/sqlscript.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

constexpr QStringView sectionMarker = u"-- @database";

Error scriptError(int line, const QString &what)
{
    return Error{u"SQL 脚本第 %1 行：%2"_s.arg(line).arg(what)};
}

} // namespace

Result<QStringList> scriptStatements(const QString &script, const QString &database)
{
    QStringList statements;
    QString section;
    bool inSection = false;
    QString current;
    bool pending = false; // current holds more than blanks
    int currentStart = 0;
    QChar quote; // the open quote character, null outside quotes

    const QStringList lines = script.split(u'\n');
    for (int index = 0; index < lines.size(); ++index) {
        const int lineNumber = index + 1;
        const QString &line = lines.at(index);
        if (quote.isNull() && line.trimmed().startsWith(sectionMarker)) {
            if (pending)
                return scriptError(currentStart, u"语句缺少结尾的分号"_s);
            section = line.trimmed().mid(sectionMarker.size()).trimmed();
            inSection = true;
            current.clear();
            continue;
        }
        for (int i = 0; i < line.size(); ++i) {
            const QChar c = line.at(i);
            if (quote.isNull()) {
                if (c == u'-' && QStringView(line).mid(i, 2) == u"--")
                    break;
                if (c == u';') {
                    if (pending && section == database)
                        statements.append(current.trimmed());
                    current.clear();
                    pending = false;
                    continue;
                }
                if (c == u'\'' || c == u'"')
                    quote = c;
            } else if (c == quote) {
                // A doubled quote inside a literal reopens it on the next character.
                quote = QChar();
            }
            if (!pending && !c.isSpace()) {
                if (!inSection)
                    return scriptError(lineNumber, u"语句不属于任何数据库段落"_s);
                pending = true;
                currentStart = lineNumber;
            }
            current.append(c);
        }
        current.append(u'\n');
    }
    if (!quote.isNull())
        return scriptError(currentStart, u"引号没有闭合"_s);
    if (pending)
        return scriptError(currentStart, u"语句缺少结尾的分号"_s);
    return statements;
}

Result<QStringList> scriptFileStatements(const QStringList &files, const QString &database)
{
    QStringList statements;
    for (const QString &path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return Error{u"无法读取 %1：%2"_s.arg(QDir::toNativeSeparators(path), file.errorString())};
        auto found = scriptStatements(QString::fromUtf8(file.readAll()), database);
        if (!found)
            return Error{QDir::toNativeSeparators(path) + u"："_s + found.error()};
        statements += found.value();
    }
    return statements;
}

} // namespace pagrion
