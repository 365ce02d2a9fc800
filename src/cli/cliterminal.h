#pragma once

#include <QString>

// How pagrion-cli talks to its terminal: what it prints, what it reports and
// the exit statuses scripts can rely on.
namespace pagrion::cli {

enum class ExitCode : int {
    Success = 0,
    RunInterrupted = 1, // a batch run had no layout or field list to apply
    Usage = 2,          // the command line is wrong, or a batch run's check refused it
    PageNotLoaded = 3,  // the page could not be loaded, or shows an error page
    Database = 4,       // a database or another file could not be read or written
    PagesFailed = 5,    // a batch run went through its pages, but some failed
    Stopped = 130,      // Ctrl+C ended a batch run, as the shell reports a SIGINT
    Terminated = 143,   // SIGTERM ended a batch run the same way
};

// Ends a command: thrown by the command, reported and turned into the exit
// status by the dispatcher.
struct Failure
{
    ExitCode code;
    QString message;
};

[[noreturn]] void fail(ExitCode code, const QString &message);

// Writes text to standard output as UTF-8, every character as it stands
// (CR LF stays CR LF).
void writeOutput(const QString &text);

// Writes one line to standard error, prefixed with the program's name; line
// breaks inside the message become spaces.
void writeMessage(const QString &message);

// Writes a line of the program's log to standard error; on a terminal it
// first clears a batch run's progress line, which is drawn again at its next tick.
void writeLogLine(const QByteArray &line);

// Writes the failure's message and returns its exit status.
int report(const Failure &failure);

} // namespace pagrion::cli
