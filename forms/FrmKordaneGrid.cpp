// The day grid: the view command, the titles, copying a row into the fields and
// removing a row through the grid's menu.
#include "FrmKordane.h"

#include "Catalogue.h"
#include "Dialogs.h"
#include "Edit.h"
#include "MaskEdit.h"

namespace kordane {

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
    const QString weekday = ClientDataSet1.fieldByName(QStringLiteral("BILL_WEEK")).asString();
    Edit7->setText(weekday.isEmpty() ? keptWeekday : weekday);
    MaskEdit1->assignText(ClientDataSet1.fieldByName(QStringLiteral("INI_DATE")).asString());
    Edit1->setText(ClientDataSet1.fieldByName(QStringLiteral("EMPLOYEE_ID")).asString());
    Edit5->setText(ClientDataSet1.fieldByName(QStringLiteral("EMPLOYEE_NAME")).asString());
    Edit6->setText(ClientDataSet1.fieldByName(QStringLiteral("CARD_ID")).asString());
    MaskEdit2->assignText(ClientDataSet1.fieldByName(QStringLiteral("TIME_IN")).asString());
    MaskEdit3->assignText(ClientDataSet1.fieldByName(QStringLiteral("TIME_OUT")).asString());
}

void TFormKordane::N1Click(QObject*)
{
    if (ClientDataSet1.isEmpty())
        silentAbort();
    if (confirmationDialog(QStringLiteral("確定刪除該筆資料.?")) != 6)
        return;
    ClientDataSet1.deleteRecord();
    ClientDataSet1.applyUpdates(0);
}

} // namespace kordane
