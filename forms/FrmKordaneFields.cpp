// Keyboard movement through the fields, the weekday of the date field and the
// employee lookup on leaving the employee field.
#include "FrmKordane.h"

#include "Catalogue.h"
#include "DateConversion.h"
#include "Dialogs.h"
#include "Edit.h"
#include "MaskEdit.h"
#include "RegionalSettings.h"

#include <QTimer>

namespace kordane {

void TFormKordane::MaskEdit1KeyDown(QObject*, int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        selectNextControl(true);
    else if (key == Qt::Key_Escape)
        selectNextControl(false);
}

AttendanceRecord TFormKordane::fieldsRecord() const
{
    return {
        .date = MaskEdit1->fieldText(),
        .employeeCode = Edit1->text(),
        .timeIn = MaskEdit2->fieldText(),
        .timeOut = MaskEdit3->fieldText(),
        .weekday = Edit7->text(),
        .name = Edit5->text(),
        .card = Edit6->text(),
    };
}

void TFormKordane::MaskEdit1Exit(QObject*)
{
    Edit7->setText(weekdayOf(MaskEdit1->fieldText()));
}

void TFormKordane::Edit1Exit(QObject*)
{
    const QString code = Edit1->text();
    if (code.isEmpty())
        return;
    ClientDataSet1.close();
    ClientDataSet1.setCommandText(catalogue::joinLines(catalogue::employeeDaySelect(code, MaskEdit1->fieldText())));
    ClientDataSet1.open();
    ClientDataSet1.first();
    const QString keptWeekday = Edit7->text();
    if (ClientDataSet1.recordCount() != 0) {
        copyWeekday(keptWeekday);
        MaskEdit2->assignText(rowText("TIME_IN"));
        MaskEdit3->assignText(rowText("TIME_OUT"));
        Edit5->setText(rowText("EMPLOYEE_NAME"));
        Edit6->setText(rowText("CARD_ID"));
        return;
    }
    SQLQuery1.close();
    SQLQuery1.setSql(catalogue::employeeSelect(code));
    SQLQuery1.open();
    if (!SQLQuery1.isEmpty()) {
        Edit5->setText(SQLQuery1.asString(SQLQuery1.fieldByName(QStringLiteral("EMPLOYEE_NAME"))));
        Edit6->setText(SQLQuery1.asString(SQLQuery1.fieldByName(QStringLiteral("CARD_ID"))));
        return;
    }
    warningDialog(QStringLiteral("人員代號錯誤!"));
    Edit6->clear();
    Edit5->clear();
    Edit1->clear();
    // The focus is on its way out of Edit1; bring it back once that move has finished.
    QTimer::singleShot(0, Edit1, [edit = Edit1] { edit->setFocus(Qt::OtherFocusReason); });
}

} // namespace kordane
