// Keyboard movement through the fields, the weekday of the date field and the
// employee lookup on leaving the employee field.
#include "forms/FrmKordane.h"

#include "attendance/DateConversion.h"
#include "attendance/DayRecords.h"
#include "widgets/Dialogs.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"

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
    using Found = attendance::EmployeeLookup::Found;
    const attendance::EmployeeLookup lookup = attendance::lookUpEmployee(ClientDataSet1, SQLQuery1, fieldsRecord());
    const AttendanceRecord& found = lookup.record;
    switch (lookup.found) {
    case Found::NoCode:
        return;
    case Found::OnTheDate:
        Edit7->setText(found.weekday);
        MaskEdit2->assignText(found.timeIn);
        MaskEdit3->assignText(found.timeOut);
        Edit5->setText(found.name);
        Edit6->setText(found.card);
        return;
    case Found::Employee:
        Edit5->setText(found.name);
        Edit6->setText(found.card);
        return;
    case Found::Nobody:
        break;
    }
    warningDialog(QStringLiteral("人員代號錯誤!"));
    Edit6->clear();
    Edit5->clear();
    Edit1->clear();
    // The focus is on its way out of Edit1; bring it back once that move has finished.
    QTimer::singleShot(0, Edit1, [edit = Edit1] { edit->setFocus(Qt::OtherFocusReason); });
}

} // namespace kordane
