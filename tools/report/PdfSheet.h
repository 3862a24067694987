#pragma once
// The sheet on A4 paper as a PDF, drawn with Qt's own painter, in a font that holds
// Traditional Chinese, embedded so the file prints the same anywhere.
#include "tools/sheet/Sheet.h"

#include <QString>
#include <QStringList>

namespace kordane::report {

class Progress;

inline constexpr char pdfFontFamily[] = "AR PL UMing TW";

// Each table of the sheet's pages (or its summary when it has none) from a new page on;
// a table too long for one goes on over the next with its headers repeated. `lastNotes`
// go under the last table. Throws Exception when the font is not at hand or the file
// cannot be written whole (OutputFile).
void writePdf(const Sheet& sheet, const QString& file, const QStringList& lastNotes, Progress& progress);

} // namespace kordane::report
