// The day grid: the view command, the titles, copying a row into the fields and
// removing a row through the grid's menu.
#include "FrmKordane.h"

#include "Catalogue.h"
#include "Dialogs.h"
#include "Edit.h"
#include "MaskEdit.h"

namespace kordane {

QString TFormKordane::rowText(const char* column) const
{
    return ClientDataSet1.fieldByName(QString::fromLatin1(column)).asString();
}

// A record without a weekday leaves the one already shown.
void TFormKordane::copyWeekday(const QString& kept)
{
    const QString weekday = rowText("BILL_WEEK");
    Edit7->setText(weekday.isEmpty() ? kept : weekday);
}

void TFormKordane::SpeedButton2Click(QObject*)
{
    const QStringList lines = catalogue::daySelect(MaskEdit1->fieldText());
    ClientDataSet1.close();
    ClientDataSet1.setCommandText(catalogue::joinLines(lines));
    ClientDataSet1.open();
}

void TFormKordane::ClientDataSet1AfterOpen(TClientDataSet* dataSet)
{
    static const char* const titles[] = {"員工代號", "日期", "上班時間", "下班時間", "星期", "員工姓名"};
    for (int position = 0; position < 6; ++position) {
        if (position >= dataSet->fieldCount())
            throw Exception(QStringLiteral("List index out of bounds (%1)").arg(position));
        dataSet->field(position).setDisplayLabel(QString::fromUtf8(titles[position]));
    }
}

void TFormKordane::DBGrid1CellClick(int)
{
    const QString keptWeekday = Edit7->text();
    copyWeekday(keptWeekday);
    MaskEdit1->assignText(rowText("INI_DATE"));
    Edit1->setText(rowText("EMPLOYEE_ID"));
    Edit5->setText(rowText("EMPLOYEE_NAME"));
    Edit6->setText(rowText("CARD_ID"));
    MaskEdit2->assignText(rowText("TIME_IN"));
    MaskEdit3->assignText(rowText("TIME_OUT"));
}

void TFormKordane::N1Click(QObject*)
{
    if (ClientDataSet1.isEmpty())
        silentAbort();
    if (confirmationDialog(QStringLiteral("確定刪除該筆資料.?")) != 6)
        return;
    const TClientDataSet::RowId row = ClientDataSet1.currentRowId();
    ClientDataSet1.deleteRecord();
    // A removal that did not happen is said, and its row stays in view; the failed change
    // is out of the log, so the next removal stands or falls on its own.
    int failed = 0;
    try {
        failed = ClientDataSet1.applyUpdates(0);
    } catch (...) {
        ClientDataSet1.revertRow(row);
        throw;
    }
    if (failed == 0)
        return;
    ClientDataSet1.revertRow(row);
    throw EDatabaseError(ClientDataSet1.applyErrors().value(0));
}

} // namespace kordane
