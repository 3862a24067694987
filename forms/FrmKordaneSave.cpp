// The add, modify and delete commands: the record's checks, a confirmation, then the
// record's statements through SQLQuery1.
#include "forms/FrmKordane.h"

#include "attendance/RecordCommands.h"
#include "attendance/RegionalSettings.h"
#include "widgets/Dialogs.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/MessageDialog.h"

#include <QDate>

namespace kordane {

namespace {

// A command's check; a refusal is said in a warning, and the command ends there.
template<class Check>
auto checked(Check&& check) -> decltype(check())
{
    try {
        return check();
    } catch (const attendance::Refusal& refusal) {
        refuse(refusal.message());
    }
}

// The weekday the checks work out is shown at once, whatever they decide after it.
attendance::WeekdayKnown shownIn(LineEdit* field)
{
    return [field](const QString& weekday) { field->setText(weekday); };
}

} // namespace

void TFormKordane::SpeedButton3Click(QObject*)
{
    const AttendanceRecord record = checked([&] { return attendance::checkAdd(SQLQuery1, fieldsRecord(), shownIn(Edit7)); });
    if (confirmationDialog(QStringLiteral("確定要新增資料?")) != MessageDialog::ResultYes)
        return;
    attendance::insertRecord(SQLQuery1, record);
}

void TFormKordane::SpeedButton1Click(QObject*)
{
    const AttendanceRecord record = checked([&] { return attendance::checkModify(fieldsRecord(), shownIn(Edit7)); });
    if (confirmationDialog(QStringLiteral("是否要修改原資料?")) != MessageDialog::ResultYes)
        return;
    attendance::modify(SQLConnection1, SQLQuery1, record);
}

void TFormKordane::SpeedButton4Click(QObject*)
{
    const AttendanceRecord record = fieldsRecord();
    checked([&] { attendance::checkDelete(record); });
    if (confirmationDialog(QStringLiteral("確定要刪除資料?")) != MessageDialog::ResultYes)
        return;
    attendance::deleteByValues(SQLQuery1, record);
    if (confirmationDialog(QStringLiteral("要清畫面嗎?")) != MessageDialog::ResultYes)
        return;
    MaskEdit1->assignText(formatDate(QDate::currentDate(), RegionalSettings::current()));
    Edit1->clear();
    MaskEdit2->assignText(QString());
    MaskEdit3->assignText(QString());
    Edit6->clear();
    Edit5->clear();
    Edit7->clear();
    MaskEdit1->setFocus(Qt::OtherFocusReason);
}

} // namespace kordane
