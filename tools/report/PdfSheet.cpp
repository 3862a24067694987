#include "tools/report/PdfSheet.h"

#include "data/Exceptions.h"
#include "tools/report/OutputFile.h"
#include "tools/report/Progress.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <numeric>

namespace kordane::report {
namespace {

constexpr int resolution = 300;
constexpr double bodyPoints = 10;
constexpr double smallestPoints = 6;
constexpr double headingPoints = 14;
constexpr double smallestHeadingPoints = 8;

double mm(double millimetres) { return millimetres * resolution / 25.4; }

class PageDrawer {
public:
    PageDrawer(QPdfWriter& writer, QPainter& painter, Progress& progress)
        : writer_(writer)
        , painter_(painter)
        , progress_(progress)
        , width_(writer.width())
        , height_(writer.height())
        , cellPadding_(mm(3))
    {
    }

    void table(const Table& t, const QStringList& extraNotes)
    {
        if (started_)
            newPage();
        started_ = true;
        QFont body = font(bodyPoints);
        std::vector<double> widths = columnWidths(t, body);
        // A table wider than the paper gets a smaller type, down to a size still readable.
        // Only the text shrinks with the type; the cells' padding stays as it is.
        const double total = std::accumulate(widths.begin(), widths.end(), 0.0);
        if (total > width_) {
            const double padding = cellPadding_ * static_cast<double>(widths.size());
            const double scale = padding < width_ ? (width_ - padding) / (total - padding) : 0;
            body = font(std::max(smallestPoints, bodyPoints * scale));
            widths = columnWidths(t, body);
        }
        const double rowHeight = QFontMetricsF(body, &writer_).height() * 1.6;

        heading(t.title);
        header(t, widths, body, rowHeight);
        painter_.setFont(body);
        bool shaded = false;
        for (const QStringList& row : t.rows) {
            if (y_ + rowHeight > bottom()) {
                newPage();
                heading(t.title + QStringLiteral("（續）"));
                header(t, widths, body, rowHeight);
                painter_.setFont(body);
            }
            // A new date starts a new band, so that a day's spells read as one.
            if (!row.isEmpty() && !row.front().isEmpty())
                shaded = !shaded;
            cells(t, row, widths, rowHeight, shaded ? QColor(245, 245, 245) : QColor(Qt::white));
        }
        QStringList notes = t.notes;
        notes << extraNotes;
        const double lineHeight = QFontMetricsF(body, &writer_).height() * 1.5;
        const double needed = lineHeight * (static_cast<double>(notes.size()) + 0.5) + (t.signature ? mm(25) : 0);
        if (y_ + needed > bottom())
            newPage();
        y_ += lineHeight * 0.5;
        for (const QString& note : notes) {
            painter_.drawText(QRectF(0, y_, width_, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, note);
            y_ += lineHeight;
        }
        if (t.signature)
            signatureLines(lineHeight);
    }

    void finish() { footer(); }

private:
    QFont font(double points) const
    {
        QFont f(QString::fromLatin1(pdfFontFamily));
        f.setPointSizeF(points);
        return f;
    }

    double bottom() const { return height_ - mm(10); }

    std::vector<double> columnWidths(const Table& t, const QFont& body) const
    {
        const QFontMetricsF metrics(body, &writer_);
        const double padding = cellPadding_;
        std::vector<double> widths;
        for (qsizetype c = 0; c < t.headers.size(); ++c) {
            double w = metrics.horizontalAdvance(t.headers[c]);
            for (const QStringList& row : t.rows) {
                if (c < row.size())
                    w = std::max(w, metrics.horizontalAdvance(row[c]));
            }
            widths.push_back(w + padding);
        }
        return widths;
    }

    // The title holds values (an employee's code, name and card) that are never cut: a
    // title too wide for the paper gets a smaller type, and below a size still readable
    // goes on over more lines.
    void heading(const QString& title)
    {
        QFont f = font(headingPoints);
        const double natural = QFontMetricsF(f, &writer_).horizontalAdvance(title);
        // A little short of the width, so that rounding in the smaller type breaks no line.
        if (natural > width_)
            f = font(std::max(smallestHeadingPoints, headingPoints * width_ * 0.98 / natural));
        painter_.setFont(f);
        const QFontMetricsF metrics(f, &writer_);
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
        const double h = metrics.boundingRect(QRectF(0, 0, width_, 0), flags, title).height() + metrics.height() * 0.8;
        painter_.setPen(Qt::black);
        painter_.drawText(QRectF(0, y_, width_, h), flags, title);
        y_ += h;
    }

    void header(const Table& t, const std::vector<double>& widths, QFont body, double rowHeight)
    {
        body.setBold(true);
        painter_.setFont(body);
        cells(t, t.headers, widths, rowHeight, QColor(220, 220, 220));
    }

    void cells(const Table& t, const QStringList& row, const std::vector<double>& widths, double rowHeight, const QColor& fill)
    {
        const double tableWidth = std::min<double>(width_, std::accumulate(widths.begin(), widths.end(), 0.0));
        painter_.fillRect(QRectF(0, y_, tableWidth, rowHeight), fill);
        painter_.setPen(QPen(Qt::gray, mm(0.15)));
        painter_.drawLine(QPointF(0, y_ + rowHeight), QPointF(tableWidth, y_ + rowHeight));
        painter_.setPen(Qt::black);
        double x = 0;
        const double padding = mm(1.5);
        for (std::size_t c = 0; c < widths.size(); ++c) {
            const double w = std::min(widths[c], tableWidth - x);
            const QString text = c < static_cast<std::size_t>(row.size()) ? row[static_cast<qsizetype>(c)] : QString();
            const bool right = c < t.rightAligned.size() && t.rightAligned[c];
            const QRectF box(x + padding, y_, std::max(0.0, w - 2 * padding), rowHeight);
            // Cut only where the paper is too narrow for the column.
            const QString shown = QFontMetricsF(painter_.font(), &writer_).elidedText(text, Qt::ElideRight, box.width() + mm(0.5));
            painter_.drawText(box, (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, shown);
            x += w;
        }
        y_ += rowHeight;
    }

    void signatureLines(double lineHeight)
    {
        y_ += mm(12);
        painter_.setPen(QPen(Qt::black, mm(0.2)));
        const double half = width_ / 2;
        for (const auto& [label, x] : {std::pair {QStringLiteral("員工簽名"), 0.0}, std::pair {QStringLiteral("主管簽名"), half}}) {
            painter_.drawText(QRectF(x, y_ - lineHeight, half, lineHeight), Qt::AlignLeft | Qt::AlignBottom, label);
            const double start = x + painter_.fontMetrics().horizontalAdvance(label) + mm(3);
            painter_.drawLine(QPointF(start, y_), QPointF(x + half - mm(10), y_));
        }
        y_ += lineHeight;
    }

    void footer()
    {
        const QFont f = font(8);
        painter_.setFont(f);
        painter_.setPen(Qt::darkGray);
        painter_.drawText(QRectF(0, height_ - mm(6), width_, mm(6)), Qt::AlignRight | Qt::AlignBottom,
                          QStringLiteral("第 %1 頁").arg(page_));
        progress_.page(page_);
    }

    void newPage()
    {
        footer();
        writer_.newPage();
        ++page_;
        y_ = 0;
    }

    QPdfWriter& writer_;
    QPainter& painter_;
    Progress& progress_;
    double width_;
    double height_;
    double cellPadding_; // both sides of a cell
    double y_ = 0;
    int page_ = 1;
    bool started_ = false;
};

} // namespace

void writePdf(const Sheet& sheet, const QString& file, const QStringList& lastNotes, Progress& progress)
{
    if (!QFontDatabase::families().contains(QString::fromLatin1(pdfFontFamily)))
        throw Exception(QStringLiteral("the font %1 is not installed (Debian package fonts-arphic-uming)")
                            .arg(QString::fromLatin1(pdfFontFamily)));
    // Before the writer and the painter, so that they have let go of it when it removes
    // what was written, whatever ends the drawing.
    OutputFile out(file);
    QPdfWriter writer(&out);
    writer.setResolution(resolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 12),
                                     QPageLayout::Millimeter));
    writer.setCreator(QStringLiteral("kordane-report"));
    const std::vector<Table> summaryOnly {sheet.summary};
    const std::vector<Table>& tables = sheet.pages.empty() ? summaryOnly : sheet.pages;
    writer.setTitle(sheet.summary.title);
    QPainter painter;
    if (!painter.begin(&writer))
        throw Exception(QStringLiteral("cannot write %1").arg(file));
    PageDrawer draw(writer, painter, progress);
    for (std::size_t i = 0; i < tables.size(); ++i)
        draw.table(tables[i], i + 1 == tables.size() ? lastNotes : QStringList());
    draw.finish();
    if (!painter.end())
        throw Exception(QStringLiteral("cannot write %1").arg(file));
    out.commit();
}

} // namespace kordane::report
