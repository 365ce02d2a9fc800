#pragma once

#include "core/progress.h"

class QProgressBar;

namespace pagrion {

// Reports progress on a progress bar: shown at the start, hidden at the end.
class ProgressBarProgress final : public Progress
{
public:
    explicit ProgressBarProgress(QProgressBar *bar) : m_bar(bar) {}
    void start(int maximum) override;
    void setValue(int value) override;
    void finish() override;

private:
    QProgressBar *m_bar;
};

} // namespace pagrion
