#pragma once

#include <memory>

#include "engine/browser.h"
#include "engine/enginekind.h"

namespace pagrion {

// The browser of the chosen engine. The full browser needs a QApplication
// that was started after prepareWebEngine(). With a parent, the returned
// pointer must still be let go of before the parent is destroyed (a member
// of the parent does this by itself).
std::unique_ptr<Browser> createBrowser(EngineKind kind, QObject *parent = nullptr);

} // namespace pagrion
