#include "widgets/CellText.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTextLine>

#include <cmath>

namespace kordane {

namespace {

// More texts than a day shows; beyond it the kept layouts start again.
constexpr qsizetype keptLayouts = 4096;

// The styles whose plain item is its text alone, in the palette's text colour (the
// grid's cell test holds each to it); another may draw a frame or a gradient as well.
bool drawsItemsPlainly(const QStyle& style)
{
    return style.name().compare(u"fusion", Qt::CaseInsensitive) == 0
        || style.name().compare(u"windows", Qt::CaseInsensitive) == 0;
}

} // namespace

CellText::Kept::Kept(const QString& text, const QFont& font)
    : layout(text, font)
    , ink(QFontMetricsF(font).boundingRect(text))
{
    QTextOption option(Qt::AlignLeft | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::ManualWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(line.naturalTextWidth());
    layout.endLayout();
}

const CellText::Kept& CellText::kept(const QString& text, const QFont& font)
{
    if (font != font_ || layouts_.size() >= keptLayouts) {
        layouts_.clear();
        font_ = font;
    }
    std::shared_ptr<Kept>& kept = layouts_[text];
    if (!kept)
        kept = std::make_shared<Kept>(text, font);
    return *kept;
}

bool CellText::draw(QPainter& painter, const QStyleOptionViewItem& option, const QString& text)
{
    constexpr QStyle::State styled = QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver;
    if ((option.state & styled) || option.direction != Qt::LeftToRight || (option.features & QStyleOptionViewItem::WrapText)
        || text.contains(u'\n') || text.contains(QChar::LineSeparator))
        return false;
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : nullptr;
    if (!style || !drawsItemsPlainly(*style))
        return false;
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect area = option.rect.adjusted(margin, 0, -margin, 0);
    const Kept& shown = kept(text, option.font);
    const QTextLine line = shown.layout.lineAt(0);
    // Centred where the style centres it: on the cell's whole middle pixel, the line's
    // ascent rounded down and its descent up.
    const qreal top = area.top() + area.height() / 2 - (std::floor(line.ascent()) + std::ceil(line.descent())) / 2;
    // The style cuts off what reaches out of the cell, and cuts a text short that does not fit.
    const QRectF ink = shown.ink.translated(area.left(), top + line.ascent()).adjusted(-1, -1, 1, 1);
    if (std::ceil(line.naturalTextWidth()) >= area.width() || !QRectF(option.rect).contains(ink))
        return false;
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
        : (option.state & QStyle::State_Active)                                ? QPalette::Normal
                                                                               : QPalette::Inactive;
    const QPen pen = painter.pen();
    painter.setPen(option.palette.color(group, QPalette::Text));
    shown.layout.draw(&painter, QPointF(area.left(), top));
    painter.setPen(pen);
    return true;
}

} // namespace kordane
