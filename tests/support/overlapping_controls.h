#pragma once
// Whether a window's controls lie over one another: a control left out of
// its layout sits at its parent's corner, over whatever is there.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRect>
#include <QString>
#include <QWidget>

#include <vector>

namespace kestrava::testsupport {

// The first two visible controls of `window` (buttons, boxes, lists,
// sliders, labels; not the parts of another control) whose rectangles
// overlap, as "NAME and NAME", or an empty text when none do; `count` is
// set to the number of controls looked at.
inline QString OverlappingControls(QWidget* window, int* count = nullptr)
{
    const auto isControl = [](const QWidget* widget) {
        return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QComboBox*>(widget)
               || qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractItemView*>(widget)
               || qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QLabel*>(widget);
    };
    std::vector<QWidget*> controls;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible() || !isControl(widget))
            continue;
        bool part = false;
        for (const QWidget* up = widget->parentWidget(); up && up != window; up = up->parentWidget())
            part = part || isControl(up);
        if (!part)
            controls.push_back(widget);
    }
    if (count)
        *count = static_cast<int>(controls.size());
    const auto place = [window](const QWidget* widget) {
        return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
    };
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            if (place(controls[i]).intersects(place(controls[j])))
                return controls[i]->objectName() + QStringLiteral(" and ") + controls[j]->objectName();
    return {};
}

}  // namespace kestrava::testsupport
