// Keyboard focus that can be seen on the window's controls at the template's small sizes, where
// the desktop's style shows it faintly or not at all: a ring in the highlight colour, two pixels
// wide, around a selector's box, inside a push button and on a list's frame, whether the focus
// came by keyboard or mouse. The desktop's style draws the rest, the fields' focus included.
#pragma once

#include <QProxyStyle>

class FocusStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;
};
