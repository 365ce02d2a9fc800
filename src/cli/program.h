#pragma once

class QCoreApplication;

namespace pagrion::cli {

// Keeps Qt's notes about its environment off the terminal; call it first
// thing in main, so that the application object's own notes are kept off too.
void quietQtMessages();

// Everything of main() after the application object: runs the command its
// arguments name and returns the exit status.
int runCommandLine(QCoreApplication &app);

} // namespace pagrion::cli
