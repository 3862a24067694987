#pragma once
// One cell of a CSV file the tools write: never run by a spreadsheet as a formula, and
// quoted where the format needs it.
//
// A spreadsheet runs a cell that starts with = + - @, a tab or a carriage return. Such a
// cell, and one where apostrophes come before one of those, is written with one
// apostrophe more in front; a reader takes exactly one off a cell of that shape and of no
// other, so every text comes back: 'abc stays 'abc, =x is written '=x and '=x ''=x.
#include <QString>

namespace kordane::report {

// The text with one more leading apostrophe where a spreadsheet would run it.
QString guarded(const QString& text);

// What guarded() was given: one leading apostrophe fewer on a cell of that shape.
QString unguarded(const QString& cell);

// In double quotes, the quotes inside doubled, when it holds a separator, a quote or a
// line break, or starts or ends in a blank (which spreadsheets would trim off).
QString quotedField(const QString& text);

} // namespace kordane::report
