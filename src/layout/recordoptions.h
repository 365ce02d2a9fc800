#pragma once

#include <QCheckBox>
#include <QPointer>
#include <QRadioButton>
#include <QWidget>

namespace pagrion {

// The main window's choices the tool windows follow: which definition a batch
// run uses, and how rows are stored in datalist. A control that is gone
// counts as absent.
struct RecordOptions
{
    QPointer<QRadioButton> Option6 = {}; // 调用排版
    QPointer<QRadioButton> Option7 = {}; // 调用字段
    QPointer<QCheckBox> Check2 = {};     // 自动覆盖上次保存记录
    QPointer<QCheckBox> Check3 = {};     // 自动过滤首字段为空行记录
};

// Implemented by the window that owns those choices, so the tool windows it
// opens can reach them without knowing the window.
class RecordOptionsOwner
{
public:
    virtual ~RecordOptionsOwner() = default;
    virtual RecordOptions recordOptions() const = 0;
};

// The options of the owner among a widget and its ancestors; none when no
// ancestor owns them (a tool window opened on its own).
inline RecordOptions recordOptionsAbove(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (const auto *owner = dynamic_cast<const RecordOptionsOwner *>(widget))
            return owner->recordOptions();
    }
    return {};
}

} // namespace pagrion
