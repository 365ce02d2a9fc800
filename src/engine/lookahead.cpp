#include "engine/lookahead.h"

#include <algorithm>

#include "engine/browser.h"

namespace pagrion {

LookAhead::LookAhead(PageLoader &loader, int pagesAtOnce, QObject *parent)
    : QObject(parent)
    , m_loader(loader)
    , m_pagesAtOnce(std::max(pagesAtOnce, 1))
{
    m_slots.push_back({nullptr, nullptr, &m_loader});
    connect(&m_loader, &PageLoader::interrupted, this, [this] {
        for (std::size_t i = 1; i < m_slots.size(); ++i)
            m_slots[i].loader->interrupt();
    });
}

LookAhead::~LookAhead() = default;

void LookAhead::start(const QStringList &addresses, const QList<int> &wanted)
{
    m_addresses = addresses;
    m_wanted = wanted;
    m_next = 0;
    // Browsers beside the loader's are made only for pages there are.
    const qsizetype needed = std::min<qsizetype>(m_pagesAtOnce, m_wanted.size());
    while (qsizetype(m_slots.size()) < needed) {
        std::unique_ptr<Browser> browser = m_loader.browser().sibling();
        if (!browser)
            break;
        auto ownLoader = std::make_unique<PageLoader>(*browser);
        PageLoader *slotLoader = ownLoader.get();
        m_slots.push_back({std::move(browser), std::move(ownLoader), slotLoader});
    }
    for (qsizetype position = 0; position < qsizetype(m_slots.size()); ++position)
        load(position);
}

LookAhead::Page LookAhead::next()
{
    PageLoader &loader = *m_slots[std::size_t(m_next % qsizetype(m_slots.size()))].loader;
    PageLoader::WaitEnd end = loader.waitUntilLoaded();
    if (end == PageLoader::WaitEnd::Loaded)
        end = loader.waitWhileBusy();
    return {m_wanted.at(m_next), &loader.browser(), end};
}

void LookAhead::done()
{
    load(m_next + qsizetype(m_slots.size()));
    ++m_next;
}

void LookAhead::load(qsizetype position)
{
    if (position < m_wanted.size())
        m_slots[std::size_t(position % qsizetype(m_slots.size()))].loader->navigate(m_addresses.at(m_wanted.at(position)));
}

} // namespace pagrion
