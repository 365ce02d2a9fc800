#pragma once

#include <QString>

namespace pagrion {

// Gives a control its name, as a form designer would, and hands it back so
// the control can be created and named in one expression.
template <typename Widget>
Widget *named(Widget *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace pagrion
