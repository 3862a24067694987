#pragma once
// The text of the grid's plain cells, drawn from layouts kept by their text. The style
// measures and lays out each cell's text afresh at every paint, while a view of a day
// paints the same few dozen texts (dates, times, weekdays) again and again. A cell the
// style draws as more than its text (selected, current, hovered, a text it would cut
// short) is left to it.
#include <QFont>
#include <QHash>
#include <QRectF>
#include <QString>
#include <QTextLayout>

#include <memory>

class QPainter;
class QStyleOptionViewItem;

namespace kordane {

class CellText {
public:
    // False when the cell is not a plain one: the style is to draw it.
    bool draw(QPainter& painter, const QStyleOptionViewItem& option, const QString& text);

private:
    struct Kept {
        Kept(const QString& text, const QFont& font);
        QTextLayout layout;
        QRectF ink; // from the left end of the baseline
    };
    const Kept& kept(const QString& text, const QFont& font);

    QFont font_;
    QHash<QString, std::shared_ptr<Kept>> layouts_;
};

} // namespace kordane
