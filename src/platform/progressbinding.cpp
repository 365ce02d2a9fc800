#include "platform/progressbinding.h"

#include <QProgressBar>

namespace pagrion {

void ProgressBarProgress::start(int maximum)
{
    m_bar->setValue(0);
    m_bar->setVisible(true);
    m_bar->setMaximum(maximum);
}

void ProgressBarProgress::setValue(int value)
{
    m_bar->setValue(value);
}

void ProgressBarProgress::finish()
{
    m_bar->setVisible(false);
}

} // namespace pagrion
