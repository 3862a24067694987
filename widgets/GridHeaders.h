#pragma once
// The grid's two headers: the column titles, and the indicator column beside the rows.
#include <QHeaderView>
#include <QStringList>

#include <utility>
#include <vector>

namespace kordane {

// The column titles. Qt measures every title again, each in a bold copy of the font that
// it looks up afresh, whenever the columns are set up, which is twice at every view of a
// day (closed, then open). The measures of the last few sets of titles are kept for as
// long as the font and the style stay.
class TitleHeader : public QHeaderView {
public:
    explicit TitleHeader(QWidget* parent);
    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent* e) override;

private:
    QStringList titles() const;

    mutable std::vector<std::pair<QStringList, QSize>> hints_;
};

// The indicator column: a triangle beside the current row, an I-beam while it is
// edited, an asterisk while it is a new row.
class IndicatorHeader : public QHeaderView {
public:
    explicit IndicatorHeader(QWidget* parent);
    // As wide as the grid makes it. Qt would measure the empty title of every row of the
    // window, each in a font it looks up afresh, whenever the rows are set up.
    QSize sizeHint() const override;
    // The rows whose indicator changed: one row alone is drawn again by itself.
    void repaintRows(int first, int last);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

} // namespace kordane
