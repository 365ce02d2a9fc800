#include "engine/browserfactory.h"

#include "engine/staticbrowser.h"
#include "engine/webengine/webenginebrowser.h"

namespace pagrion {

std::unique_ptr<Browser> createBrowser(EngineKind kind, QObject *parent)
{
    if (kind == EngineKind::Static)
        return std::make_unique<StaticBrowser>(parent);
    return std::make_unique<WebEngineBrowser>(parent);
}

} // namespace pagrion
