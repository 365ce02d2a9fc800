#pragma once

namespace pagrion {

// Where a long operation reports how far it got; the window binds it to a
// progress bar, the command line to the terminal.
class Progress
{
public:
    virtual ~Progress() = default;
    virtual void start(int maximum) = 0; // shows the bar at 0 of maximum
    virtual void setValue(int value) = 0;
    virtual void finish() = 0; // hides the bar
};

} // namespace pagrion
