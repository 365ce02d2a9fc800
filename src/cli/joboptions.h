#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

#include "core/result.h"
#include "store/jobfile.h"

namespace pagrion::cli {

// The options that set up a site's job, as batch and site save take them:
// what the extraction of each page reads and how its records are made.
class JobOptions final
{
public:
    JobOptions();

    void addTo(QCommandLineParser &parser) const;

    // The job with the options given in place of its own settings and
    // definitions; without a class of its own or given, the table class. A
    // value an option does not take, or options that do not go together,
    // is a usage failure.
    SiteJob applied(const QCommandLineParser &parser, SiteJob job) const;

private:
    void applyRecordChoice(const QCommandLineParser &parser, SiteJob &job) const;

    QCommandLineOption m_tables;
    QCommandLineOption m_filter;
    QCommandLineOption m_class;
    QCommandLineOption m_swap;
    QCommandLineOption m_everyRow;
    QCommandLineOption m_useFields;
    QCommandLineOption m_layout;
    QCommandLineOption m_fields;
    QCommandLineOption m_headerRows;
    QCommandLineOption m_columns;
    QCommandLineOption m_sourceColumns;
    QCommandLineOption m_headLength;
};

// What is saved for this address, its settings alone or with the stored
// layout or field list its record choice uses. Nothing saved is a usage
// failure, a database that cannot be read a database failure.
SiteSettings savedSettings(const QString &web);
SiteJob savedJob(const QString &web);

// A layout in the notation of --layout: its rows separated by ";", a row's
// cells by "/", a cell's references by "|", each reference "row,column" of
// the extracted grid ("1,0/1,1|1,2;2,0"). An empty cell is a null one. A
// reference that is not two whole numbers is an error that names it.
Result<Layout> layoutFromText(const QString &text);
// Null cells after a row's last value are left out.
QString layoutText(const Layout &layout);

// A field list in the notation of --fields: fields separated by ";", each
// "id=name" with the id a whole number from 1 ("1=标题;2=价格").
Result<QList<Field>> fieldsFromText(const QString &text);
QString fieldsText(const QList<Field> &fields);

} // namespace pagrion::cli
