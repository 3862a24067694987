#pragma once
// CSV for spreadsheets: UTF-8, a header row, every line ended by CR LF, no cell a formula.
#include "tools/sheet/Sheet.h"

#include <QByteArray>

namespace kordane::report {

// The table's header and rows (title and notes are no data); with `bom`, preceded by a
// byte order mark, which some spreadsheet programs need to take the text as UTF-8.
QByteArray csv(const Table& table, bool bom);

} // namespace kordane::report
