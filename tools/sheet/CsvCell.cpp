#include "tools/sheet/CsvCell.h"

namespace kordane::report {
namespace {

// Starts, after any apostrophes, with what makes a spreadsheet take it for a formula.
bool formulaShape(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u'\'')
        ++i;
    return i < text.size() && QStringView(u"=+-@\t\r").contains(text[i]);
}

} // namespace

QString guarded(const QString& text)
{
    return formulaShape(text) ? u'\'' + text : text;
}

QString unguarded(const QString& cell)
{
    return cell.startsWith(u'\'') && formulaShape(cell) ? cell.mid(1) : cell;
}

QString quotedField(const QString& text)
{
    const bool quote = text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r')
        || text.startsWith(u' ') || text.endsWith(u' ');
    if (!quote)
        return text;
    QString escaped = text;
    return u'"' + escaped.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace kordane::report
