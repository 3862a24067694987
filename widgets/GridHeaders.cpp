#include "widgets/GridHeaders.h"

#include "widgets/DataSetModel.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace kordane {

TitleHeader::TitleHeader(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
}

QStringList TitleHeader::titles() const
{
    QStringList texts;
    if (QAbstractItemModel* source = model())
        for (int i = 0; i < count(); ++i)
            texts.append(source->headerData(i, Qt::Horizontal).toString());
    return texts;
}

QSize TitleHeader::sizeHint() const
{
    QStringList texts = titles();
    const auto known = std::find_if(hints_.begin(), hints_.end(), [&](const auto& hint) { return hint.first == texts; });
    if (known != hints_.end())
        return known->second;
    constexpr std::size_t kept = 4;
    if (hints_.size() == kept)
        hints_.erase(hints_.begin());
    hints_.emplace_back(std::move(texts), QHeaderView::sizeHint());
    return hints_.back().second;
}

void TitleHeader::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
        hints_.clear();
    QHeaderView::changeEvent(e);
}

IndicatorHeader::IndicatorHeader(QWidget* parent)
    : QHeaderView(Qt::Vertical, parent)
{
}

QSize IndicatorHeader::sizeHint() const
{
    return {minimumWidth(), defaultSectionSize()};
}

void IndicatorHeader::repaintRows(int first, int last)
{
    if (first == last)
        updateSection(first);
    else
        viewport()->update();
}

void IndicatorHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    const auto kind = static_cast<DataSetModel::Indicator>(
        model()->headerData(logicalIndex, Qt::Vertical, DataSetModel::IndicatorRole).toInt());
    if (kind == DataSetModel::Indicator::None)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::WindowText);
    const int s = std::max(3, std::min(rect.width(), rect.height()) / 3);
    const QPoint c = rect.center();
    switch (kind) {
    case DataSetModel::Indicator::Current: {
        QPainterPath triangle;
        triangle.moveTo(c.x() - s / 2, c.y() - s);
        triangle.lineTo(c.x() + s / 2 + 1, c.y());
        triangle.lineTo(c.x() - s / 2, c.y() + s);
        triangle.closeSubpath();
        painter->fillPath(triangle, ink);
        break;
    }
    case DataSetModel::Indicator::Edit:
        painter->setPen(QPen(ink, 1));
        painter->drawLine(c.x(), c.y() - s, c.x(), c.y() + s);
        painter->drawLine(c.x() - s / 2, c.y() - s, c.x() + s / 2, c.y() - s);
        painter->drawLine(c.x() - s / 2, c.y() + s, c.x() + s / 2, c.y() + s);
        break;
    default:
        painter->setPen(ink);
        painter->drawText(rect, Qt::AlignCenter, QStringLiteral("*"));
        break;
    }
    painter->restore();
}

} // namespace kordane
