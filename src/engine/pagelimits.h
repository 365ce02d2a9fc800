#pragma once

#include <QtGlobal>

namespace pagrion {

// What loading one page may cost. Each limit is a setting with the default
// below; the command line can change it for one run.
struct PageLimits
{
    static constexpr int DefaultTimeLimitMs = 30'000;
    static constexpr qint64 DefaultMaxBodyBytes = qint64(64) << 20;
    // As many as Chromium follows in one navigation: it refuses the 20th.
    static constexpr int DefaultMaxRedirects = 19;
    static constexpr qint64 DefaultMaxTextBytes = qint64(256) << 20;

    int timeLimitMs = DefaultTimeLimitMs;      // one load, from the request to the parsed page
    qint64 maxBodyBytes = DefaultMaxBodyBytes; // a longer body fails the load
    int maxRedirects = DefaultMaxRedirects;    // more fail the load
    qint64 maxTextBytes = DefaultMaxTextBytes; // the text an element list may build
    // Whether the static engine also fetches the style sheets a page links
    // to, each one a request to its host, so that it hides and shows what
    // the browser does.
    bool linkedStyleSheets = true;
};

} // namespace pagrion
