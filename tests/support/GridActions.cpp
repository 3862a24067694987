#define QTEST_QPA_MOUSE_HANDLING
#include "tests/support/GridActions.h"

#include "tests/support/ModalDriver.h"
#include "widgets/DataGrid.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

namespace kordane::test {

QPoint cellCentre(TFormKordane& w, int row, int column)
{
    w.DBGrid1->scrollTo(w.DBGrid1->model()->index(row, column));
    return w.DBGrid1->visualRect(w.DBGrid1->model()->index(row, column)).center();
}

void clickCell(TFormKordane& w, int row, int column)
{
    QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, cellCentre(w, row, column));
}

namespace {

// Characters beyond Latin-1 arrive as an input method gives them: a key event with the text.
void type(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x100)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

bool typeIntoCell(TFormKordane& w, int row, int column, const QString& text)
{
    clickCell(w, row, column);
    type(w.DBGrid1, text.left(1)); // typing opens the editor
    if (!w.DBGrid1->editorOpen())
        return false;
    type(QApplication::focusWidget(), text.mid(1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    return true;
}

void removeRow(TFormKordane& w, int row, const QString& answer)
{
    whenModal([answer](QWidget* modal) { play(modal, answer); });
    QTest::mousePress(w.DBGrid1->viewport(), Qt::RightButton, {}, cellCentre(w, row, 1));
    QTest::mouseRelease(w.DBGrid1->viewport(), Qt::RightButton, {}, cellCentre(w, row, 1));
    QTRY_VERIFY(w.PopupMenu1->isVisible());
    w.PopupMenu1->hide();
    w.N1->trigger();
}

} // namespace kordane::test
