#include "tools/report/XlsxFile.h"

#include "data/Exceptions.h"
#include "tools/report/OutputFile.h"

#include <QFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <memory>

namespace kordane::report {
namespace {

// The workbook, closed (and its memory freed) however the writing ends.
struct WorkbookClose {
    void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
};
using Workbook = std::unique_ptr<lxw_workbook, WorkbookClose>;

void check(lxw_error error)
{
    if (error != LXW_NO_ERROR)
        throw Exception(QStringLiteral("cannot make the workbook: %1").arg(QString::fromUtf8(lxw_strerror(error))));
}

lxw_format* numberFormat(lxw_workbook* workbook, const char* shape)
{
    lxw_format* format = workbook_add_format(workbook);
    format_set_num_format(format, shape);
    return format;
}

void fill(lxw_workbook* workbook, const Table& table)
{
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    if (!sheet)
        throw Exception(QStringLiteral("cannot make the workbook's sheet"));
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    lxw_format* text = numberFormat(workbook, "@"); // typed over, a code stays a text
    lxw_format* hours = numberFormat(workbook, "0.00");
    for (int c = 0; c < table.headers.size(); ++c)
        check(worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), table.headers[c].toUtf8().constData(), bold));
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const auto row = static_cast<lxw_row_t>(r + 1);
        const QStringList& cells = table.rows[r];
        for (int c = 0; c < cells.size(); ++c) {
            const auto col = static_cast<lxw_col_t>(c);
            if (table.rightAligned[static_cast<std::size_t>(c)]) {
                bool ok = false;
                const double value = cells[c].toDouble(&ok);
                if (!ok)
                    throw Exception(QStringLiteral("'%1' is not a number for the workbook").arg(cells[c]));
                check(worksheet_write_number(sheet, row, col, value, cells[c].contains(u'.') ? hours : nullptr));
            } else {
                check(worksheet_write_string(sheet, row, col, cells[c].toUtf8().constData(), text));
            }
        }
    }
}

} // namespace

void writeXlsx(const Table& table, const QString& file)
{
    // The library writes a path of its own choosing; the file the user named is then
    // written from it through OutputFile, so it is complete or untouched.
    QTemporaryFile built;
    if (!built.open())
        throw Exception(QStringLiteral("cannot write %1: no temporary file for the workbook").arg(file));
    built.close();
    {
        Workbook workbook(workbook_new(QFile::encodeName(built.fileName()).constData()));
        if (!workbook)
            throw Exception(QStringLiteral("cannot make the workbook for %1").arg(file));
        fill(workbook.get(), table);
        check(workbook_close(workbook.release()));
    }
    QFile made(built.fileName());
    if (!made.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("cannot read the workbook made for %1").arg(file));
    const QByteArray bytes = made.readAll();
    OutputFile out(file);
    out.write(bytes);
    out.commit(); // throws for any write that failed
}

} // namespace kordane::report
