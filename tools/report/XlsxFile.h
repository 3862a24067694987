#pragma once
// A table as an Excel workbook of one sheet: the header row, then a row a line. Columns of
// figures (right-aligned) are numbers, every other cell a text cell, so codes and cards
// keep their leading zeros; no cell is ever a formula. There whole or not at all
// (OutputFile).
#include "tools/sheet/Sheet.h"

#include <QString>

namespace kordane::report {

// Throws Exception when the workbook cannot be made or the file written.
void writeXlsx(const Table& table, const QString& file);

} // namespace kordane::report
