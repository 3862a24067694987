// The grid's cells as the style draws them: every text, state and size the grid's own
// painting takes on must come out pixel for pixel as the style's item painting, and
// every other cell must be left to the style.
#include "widgets/DataGrid.h"

#include <QAbstractItemDelegate>
#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QTest>

#include <memory>
#include <utility>
#include <vector>

using namespace kordane;

class TestCellText : public QObject {
    Q_OBJECT
private slots:
    void cellsAsTheStyleDrawsThem_data();
    void cellsAsTheStyleDrawsThem();
};

void TestCellText::cellsAsTheStyleDrawsThem_data()
{
    QTest::addColumn<QString>("styleName");
    QTest::addColumn<QFont>("font");
    QTest::addColumn<int>("state");
    // The default face in points, and the window's Ming face in pixels: their metrics
    // fall on and between whole pixels differently.
    std::vector<std::pair<QString, QFont>> fonts;
    for (const int points : {8, 9, 10, 11, 13, 14, 16}) {
        QFont font;
        font.setPointSize(points);
        fonts.emplace_back(QStringLiteral("%1pt").arg(points), font);
    }
    for (const int pixels : {12, 13, 15, 17, 20}) {
        QFont font(QStringLiteral("AR PL UMing TW"));
        font.setPixelSize(pixels);
        fonts.emplace_back(QStringLiteral("Ming %1px").arg(pixels), font);
    }
    for (const QString& style : {QStringLiteral("Fusion"), QStringLiteral("Windows")})
        for (const auto& [fontName, font] : fonts)
            for (const auto& [name, state] : std::initializer_list<std::pair<const char*, QStyle::State>> {
                     {"plain", QStyle::State_Enabled | QStyle::State_Active},
                     {"inactive window", QStyle::State_Enabled},
                     {"disabled", QStyle::State_Active},
                     {"selected", QStyle::State_Enabled | QStyle::State_Active | QStyle::State_Selected},
                     {"current", QStyle::State_Enabled | QStyle::State_Active | QStyle::State_HasFocus},
                     {"hovered", QStyle::State_Enabled | QStyle::State_Active | QStyle::State_MouseOver}})
                QTest::addRow("%s %s %s", qPrintable(style), qPrintable(fontName), name) << style << font << int(state);
}

void TestCellText::cellsAsTheStyleDrawsThem()
{
    QFETCH(QString, styleName);
    QFETCH(QFont, font);
    QFETCH(int, state);
    const std::unique_ptr<QStyle> style(QStyleFactory::create(styleName));
    QVERIFY(style);
    DataGrid grid;
    grid.setStyle(style.get());
    QStandardItemModel model(1, 1);
    QStyledItemDelegate reference;
    const QStringList texts {QStringLiteral("E100"), QStringLiteral("2025/11/06"), QStringLiteral("08:00:00"),
                             QString::fromUtf8("三"), QString::fromUtf8("王小明"), QStringLiteral("gjy|"), QString(),
                             QStringLiteral("Name 100 with more words than the cell holds"), QStringLiteral("two\nlines")};
    for (const QString& text : texts) {
        model.setData(model.index(0, 0), text, Qt::DisplayRole);
        for (const QSize size : {QSize(90, 20), QSize(120, 23), QSize(80, 21), QSize(100, 24), QSize(60, 17), QSize(90, 19), QSize(110, 26)}) {
            QStyleOptionViewItem option;
            option.initFrom(&grid);
            option.widget = &grid;
            option.font = font;
            option.fontMetrics = QFontMetrics(font);
            option.state = QStyle::State(state);
            option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
            option.rect = QRect(QPoint(7, 5), size);
            const auto drawn = [&](const QAbstractItemDelegate& delegate) {
                QImage image(140, 40, QImage::Format_ARGB32_Premultiplied);
                image.fill(option.palette.color(QPalette::Base));
                QPainter painter(&image);
                painter.setFont(font);
                delegate.paint(&painter, option, model.index(0, 0));
                return image;
            };
            QVERIFY2(drawn(*grid.itemDelegate()) == drawn(reference),
                     qPrintable(QStringLiteral("\"%1\" in %2x%3").arg(text).arg(size.width()).arg(size.height())));
        }
    }
}

QTEST_MAIN(TestCellText)
#include "tst_celltext.moc"
