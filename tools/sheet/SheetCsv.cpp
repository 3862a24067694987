#include "tools/sheet/SheetCsv.h"

#include "tools/sheet/CsvCell.h"

namespace kordane::report {
namespace {

QByteArray line(const QStringList& cells)
{
    QStringList fields;
    for (const QString& cell : cells)
        fields << quotedField(guarded(cell));
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
