#pragma once

namespace pagrion::bench {

// The static engine on the largest pages it is built for: for each, the time
// (user and system) and peak memory of pagrion-cli's analyse and extract
// against the targets (3 s; 20 times the page and 100 MB), beside the HTML
// parser alone on the same page. First pagrion-cli's own start-up: a small
// page's extract, its time and its peak memory against the parser's (20 MB above).
bool runEngineTargets();

} // namespace pagrion::bench
