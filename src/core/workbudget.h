#pragma once

#include <exception>
#include <functional>
#include <optional>

#include <QDeadlineTimer>
#include <QElapsedTimer>

namespace pagrion {

// What one page's work may take once its page has loaded: reading it,
// turning it into records and storing them end by the page's time limit,
// and a stop ends them within a second. Long loops call check() once a
// step; the callback that asks whether the user stopped is called at most
// every tenth of a second.
class WorkBudget final
{
public:
    enum class End { Stopped, TimedOut };

    // A limit of 0 or less sets no deadline.
    explicit WorkBudget(int timeLimitMs, std::function<bool()> stopAsked = {});

    std::optional<End> ended() const;
    // Raises WorkEnded once the work is to end.
    void check() const;
    int timeLimitMs() const { return m_timeLimitMs; }

private:
    QDeadlineTimer m_deadline;
    int m_timeLimitMs;
    unsigned m_stopGeneration;
    std::function<bool()> m_stopAsked;
    mutable QElapsedTimer m_lastAsked;
};

// Raised by WorkBudget::check(); whatever the work had begun to store is
// rolled back on the way out.
class WorkEnded final : public std::exception
{
public:
    explicit WorkEnded(WorkBudget::End end) : m_end(end) {}
    WorkBudget::End end() const { return m_end; }
    const char *what() const noexcept override { return "work ended"; }

private:
    WorkBudget::End m_end;
};

// For loops that run with a budget or without one.
inline void checkWork(const WorkBudget *budget)
{
    if (budget)
        budget->check();
}

// Ends all work under way with End::Stopped, from any thread; safe to call
// from a signal handler. Budgets made afterwards are not affected.
void interruptWork();

} // namespace pagrion
