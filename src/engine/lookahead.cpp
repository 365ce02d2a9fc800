#include "engine/lookahead.h"

#include <algorithm>

#include "engine/browser.h"
#include "engine/document.h"

namespace pagrion {

namespace {

qint64 heldBy(const Browser &browser)
{
    const std::shared_ptr<const Document> document = browser.document();
    return document ? document->heldBytes() : 0;
}

} // namespace

LookAhead::LookAhead(PageWaiter &waiter, int pagesAtOnce, qint64 aheadBytes, QObject *parent)
    : QObject(parent)
    , m_waiter(waiter)
    , m_pagesAtOnce(std::max(pagesAtOnce, 1))
    , m_aheadBytes(std::max<qint64>(aheadBytes, 0))
{
    m_slots.push_back({nullptr, nullptr, &m_waiter});
    connect(&m_waiter, &PageWaiter::interrupted, this, [this] {
        for (std::size_t i = 1; i < m_slots.size(); ++i) {
            if (m_slots[i].waiter)
                m_slots[i].waiter->interrupt();
        }
    });
}

LookAhead::~LookAhead() = default;

void LookAhead::start(const QStringList &addresses, const QList<int> &wanted)
{
    m_addresses = addresses;
    m_wanted = wanted;
    m_next = 0;
    m_started = 0;
    m_recentCosts.clear();
    addSlots();
    startLoads();
}

void LookAhead::append(const QList<int> &more)
{
    m_wanted += more;
    addSlots();
    startLoads();
}

void LookAhead::addSlots()
{
    // A slot's page is the one at its position modulo the slots: they can
    // be added only while no page has gone round them.
    if (m_started > qsizetype(m_slots.size()))
        return;
    const qsizetype needed = std::min<qsizetype>(m_pagesAtOnce, m_wanted.size());
    while (qsizetype(m_slots.size()) < needed) {
        Slot slot;
        makeBrowser(slot);
        if (!slot.waiter)
            break;
        m_slots.push_back(std::move(slot));
    }
}

LookAhead::Page LookAhead::next()
{
    startLoads();
    PageWaiter &waiter = waiterOf(m_next);
    PageWaiter::WaitEnd end = waiter.waitUntilLoaded();
    if (end == PageWaiter::WaitEnd::Loaded)
        end = waiter.waitWhileBusy();
    m_recentCosts.push_back(heldBy(waiter.browser()));
    if (qsizetype(m_recentCosts.size()) > qsizetype(m_slots.size()))
        m_recentCosts.pop_front();
    // What this page cost tells how many more fit while it is handled.
    startLoads();
    return {m_wanted.at(m_next), &waiter.browser(), end};
}

void LookAhead::done()
{
    const qsizetype finished = m_next++;
    startLoads();
    // A browser kept waiting for the budget would hold its page meanwhile.
    Slot &slot = m_slots[std::size_t(finished % qsizetype(m_slots.size()))];
    if (slot.browser && m_started <= finished + qsizetype(m_slots.size())) {
        slot.waiter = nullptr;
        slot.ownWaiter.reset();
        slot.browser.reset();
    }
}

void LookAhead::makeBrowser(Slot &slot)
{
    slot.browser = m_waiter.browser().sibling();
    if (!slot.browser)
        return;
    slot.ownWaiter = std::make_unique<PageWaiter>(*slot.browser);
    slot.waiter = slot.ownWaiter.get();
}

PageWaiter &LookAhead::waiterOf(qsizetype position)
{
    Slot &slot = m_slots[std::size_t(position % qsizetype(m_slots.size()))];
    if (!slot.waiter)
        makeBrowser(slot);
    return *slot.waiter;
}

void LookAhead::startLoads()
{
    // A browser is free once the page it loaded before (slots back) is done.
    while (m_started < m_wanted.size() && m_started < m_next + qsizetype(m_slots.size())
           && (m_started <= m_next || aheadFits())) {
        waiterOf(m_started).navigate(m_addresses.at(m_wanted.at(m_started)));
        ++m_started;
    }
}

bool LookAhead::aheadFits()
{
    if (m_aheadBytes == 0)
        return true;
    // Until a page has shown its cost, one page ahead at a time.
    if (m_recentCosts.empty())
        return m_started <= m_next + 1;
    qint64 estimate = *std::max_element(m_recentCosts.begin(), m_recentCosts.end());
    qint64 waiting = 0;
    qsizetype underWay = 0;
    for (qsizetype position = m_next + 1; position < m_started; ++position) {
        const PageWaiter &waiter = waiterOf(position);
        if (waiter.PageLoaded()) {
            const qint64 held = heldBy(waiter.browser());
            waiting += held;
            estimate = std::max(estimate, held);
        } else {
            ++underWay;
        }
    }
    return waiting + (underWay + 1) * estimate <= m_aheadBytes;
}

} // namespace pagrion
