// Keyboard focus that can be seen on every control of the window, at the template's small
// sizes: a ring in the highlight colour, two pixels wide, around the focused control (the
// selector's box, the button's face, the list, a field), whether the focus came by keyboard or
// mouse. The desktop's own style draws the rest.
#pragma once

#include <QProxyStyle>

class FocusStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;
};
