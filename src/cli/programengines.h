#pragma once

#include <memory>

#include "engine/enginekind.h"
#include "engine/networkconfig.h"

namespace pagrion {
class Browser;
}

// The engines of the program running. The commands are built into two
// programs: pagrion-cli has the static engine alone, so that it starts with
// no GUI application and loads none of the full browser's libraries, and
// pagrion-cli-browser has both. Each defines these in its main file.
namespace pagrion::cli {

// Called as soon as a command knows the engine its pages load with, before
// it has changed anything. A program without that engine hands the command
// over to pagrion-cli-browser, which runs it from the start in this
// process's place; it does not return then.
void requireEngine(EngineKind kind);

// How the engines reach the web; set once, before the first browser.
void useNetwork(const NetworkConfig &config);

// A browser of an engine that requireEngine() accepted.
std::unique_ptr<Browser> makeBrowser(EngineKind kind);

} // namespace pagrion::cli
