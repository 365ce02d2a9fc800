#pragma once

#include <deque>
#include <memory>
#include <vector>

#include <QList>
#include <QObject>
#include <QStringList>

#include "engine/pagewaiter.h"

namespace pagrion {

class Browser;

// Loads the pages of a list ahead of the one being worked on. Each page is
// loaded with the page-load protocol in a browser of its own: the waiter's
// browser and siblings of it, which share its per-host queues, so the
// browsers' policy still bounds the requests to a host and the pause between
// them. Pages are handed out in the order asked for, whatever order they
// finish in. A browser takes its next page only once its page has been
// handled, so the page can be read while it is held. Waits run the event
// loop, end at the page's deadline and are ended by the waiter's interrupt().
// With one page at a time, the pages load one after another in the
// waiter's browser alone.
//
// Pages ahead are bounded by memory as well as by count: one starts only
// while the pages loaded and waiting, with those under way counted at the
// cost of the largest recent page, fit in the budget. The page waited for
// always loads, so a run of huge pages goes on one page at a time. A
// browser beside the waiter's that has no page to go on with is let go,
// and the page it held with it.
class LookAhead final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LookAhead)

public:
    // At most `pagesAtOnce` pages load at once; one at a time when the
    // engine cannot load pages side by side. aheadBytes 0 sets no budget.
    LookAhead(PageWaiter &waiter, int pagesAtOnce, qint64 aheadBytes = 0, QObject *parent = nullptr);
    ~LookAhead() override;

    // Starts loading addresses[i] for each i in `wanted`, in that order.
    void start(const QStringList &addresses, const QList<int> &wanted);
    // More pages of the same addresses, after those wanted already.
    void append(const QList<int> &more);
    // How many of the pages wanted have not started loading.
    qsizetype notStarted() const { return m_wanted.size() - m_started; }
    bool atEnd() const { return m_next >= m_wanted.size(); }
    // The index of the page next() waits for.
    int nextIndex() const { return m_wanted.at(m_next); }

    struct Page
    {
        int index = -1;
        Browser *browser = nullptr; // holds the page until done()
        PageWaiter::WaitEnd end = PageWaiter::WaitEnd::Loaded;
    };
    // Waits until the next page has loaded, or its wait ended otherwise.
    Page next();
    // The page next() gave has been handled: its browser goes on to the
    // next page it is to load.
    void done();

private:
    struct Slot
    {
        std::unique_ptr<Browser> browser; // null for the waiter's own
        std::unique_ptr<PageWaiter> ownWaiter;
        PageWaiter *waiter = nullptr;
    };
    PageWaiter &waiterOf(qsizetype position);
    // Browsers beside the waiter's are made only for pages there are.
    void addSlots();
    // The waiter's own browser stays; the others are made when needed.
    void makeBrowser(Slot &slot);
    // Starts the loads that the free browsers and the budget allow.
    void startLoads();
    bool aheadFits();

    PageWaiter &m_waiter;
    int m_pagesAtOnce;
    qint64 m_aheadBytes;
    std::vector<Slot> m_slots;
    QStringList m_addresses;
    QList<int> m_wanted;
    qsizetype m_next = 0;
    qsizetype m_started = 0;
    std::deque<qint64> m_recentCosts; // of the last pages handed out
};

} // namespace pagrion
