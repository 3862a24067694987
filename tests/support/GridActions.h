#pragma once
// The day grid handled as a user handles it: a click on a cell, typing into a cell, a
// row removed through the grid's menu.
#include "forms/FrmKordane.h"

#include <QPoint>
#include <QString>

namespace kordane::test {

// The centre of a cell, scrolled into view.
QPoint cellCentre(TFormKordane& w, int row, int column);
void clickCell(TFormKordane& w, int row, int column);
// Clicks the cell and types `text` over its value, ending with Enter; false when typing
// opened no editor.
bool typeIntoCell(TFormKordane& w, int row, int column, const QString& text);
// Opens the grid's menu on a row and chooses its one item, answering the question.
void removeRow(TFormKordane& w, int row, const QString& answer);

} // namespace kordane::test
