// The day grid: the view command, the titles, copying a row into the fields and
// removing a row through the grid's menu.
#include "forms/FrmKordane.h"

#include "attendance/DayRecords.h"
#include "widgets/Dialogs.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/MessageDialog.h"

namespace kordane {

void TFormKordane::SpeedButton2Click(QObject*)
{
    attendance::viewDay(ClientDataSet1, MaskEdit1->fieldText());
}

void TFormKordane::ClientDataSet1AfterOpen(ClientDataSet* dataSet)
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
    const AttendanceRecord row = attendance::currentRecord(ClientDataSet1, Edit7->text());
    Edit7->setText(row.weekday);
    MaskEdit1->assignText(row.date);
    Edit1->setText(row.employeeCode);
    Edit5->setText(row.name);
    Edit6->setText(row.card);
    MaskEdit2->assignText(row.timeIn);
    MaskEdit3->assignText(row.timeOut);
}

void TFormKordane::N1Click(QObject*)
{
    if (ClientDataSet1.isEmpty())
        silentAbort();
    if (confirmationDialog(QStringLiteral("確定刪除該筆資料.?")) != MessageDialog::ResultYes)
        return;
    attendance::removeCurrentRecord(ClientDataSet1);
}

} // namespace kordane
