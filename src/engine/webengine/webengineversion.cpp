// Run as the program is built: writes the header that names the versions of
// the Qt WebEngine it is built with, so that the static engine can send the
// full browser's User-Agent without loading the full browser's libraries.
#include <cstdio>

#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <QtWebEngineCore/qtwebenginecoreversion.h>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: webengine-version header.h\n");
        return 2;
    }
    std::FILE *header = std::fopen(argv[1], "w");
    if (!header) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(header, "#pragma once\n\n#define PAGRION_QTWEBENGINE_VERSION \"%s\"\n#define PAGRION_CHROMIUM_VERSION \"%s\"\n",
                 QTWEBENGINECORE_VERSION_STR, qWebEngineChromiumVersion());
    return std::fclose(header) == 0 ? 0 : 1;
}
