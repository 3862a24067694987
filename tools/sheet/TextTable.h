#pragma once
// The table for a terminal: columns padded to the widest cell, in display columns, where a
// Chinese character takes two.
#include "tools/sheet/Sheet.h"

#include <QString>

namespace kordane::report {

// Display columns of a text: East Asian wide and fullwidth characters count two.
int displayWidth(QStringView text);

// The title, the table and its notes, each line ending in a line feed.
QString textTable(const Table& table);

} // namespace kordane::report
