#include "tools/sheet/SheetCsv.h"

namespace kordane::report {
namespace {

// Quoted when it holds a separator, a quote or a line break, or starts or ends in a blank
// (which spreadsheet programs would otherwise trim off a date or time text).
QString field(const QString& text)
{
    const bool quote = text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r')
        || text.startsWith(u' ') || text.endsWith(u' ');
    if (!quote)
        return text;
    QString escaped = text;
    return u'"' + escaped.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QByteArray line(const QStringList& cells)
{
    QStringList fields;
    for (const QString& cell : cells)
        fields << field(cell);
    return fields.join(u',').toUtf8() + "\r\n";
}

} // namespace

QByteArray csv(const Table& table, bool bom)
{
    QByteArray out = bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    out += line(table.headers);
    for (const QStringList& row : table.rows)
        out += line(row);
    return out;
}

} // namespace kordane::report
