#include "app/focus_style.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOption>

namespace {

constexpr int kRingWidth = 2;

void DrawRing(QPainter& painter, const QRect& rect, const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette.color(QPalette::Highlight), kRingWidth));
    painter.drawRect(QRectF(rect).adjusted(kRingWidth / 2.0, kRingWidth / 2.0, -kRingWidth / 2.0,
                                           -kRingWidth / 2.0));
    painter.restore();
}

bool IsList(const QWidget* widget) {
    return qobject_cast<const QAbstractItemView*>(widget) != nullptr;
}

}  // namespace

void FocusStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    const bool focus = option->state & State_HasFocus;
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (focus && button && (element == CE_CheckBox || element == CE_PushButton)) {
        // The desktop style's own cues stay out: around the text the bare selectors clip to
        // nothing they are a sliver, and on the default button they look like its frame.
        QStyleOptionButton plain = *button;
        plain.state &= ~State_HasFocus;
        QProxyStyle::drawControl(element, &plain, painter, widget);
        const QRect ring =
            element == CE_CheckBox
                ? subElementRect(SE_CheckBoxIndicator, option, widget)
                      .adjusted(-kRingWidth, -kRingWidth, kRingWidth, kRingWidth)
                : option->rect.adjusted(kRingWidth, kRingWidth, -kRingWidth, -kRingWidth);
        DrawRing(*painter, ring & option->rect, option->palette);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
    // The list shows its focus on its frame: with no lines there is no current line to show it.
    if (element == CE_ShapedFrame && IsList(widget) && focus) {
        DrawRing(*painter, option->rect, option->palette);
    }
}

int FocusStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                            const QWidget* widget) const {
    // The list's frame as wide as the ring on it, so that its lines never cover the ring.
    if (metric == PM_DefaultFrameWidth && IsList(widget)) {
        return kRingWidth;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}
