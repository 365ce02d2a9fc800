#pragma once

#include <QByteArray>

namespace pagrion {

// Settles how the full browser engine starts; call it first thing in main,
// before the QApplication exists. Chromium refuses to run as root inside its
// sandbox, so for root the sandbox is switched off; the GPU is never used,
// since pages are read rather than looked at. Flags already in the
// environment are kept.
void prepareWebEngine();

// Adds a switch (without spaces) to those Chromium starts with, unless it is
// there already. It counts only until the engine starts with the first browser.
void addChromiumFlag(const QByteArray &flag);

} // namespace pagrion
