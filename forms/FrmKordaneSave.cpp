// The add, modify and delete commands: checks in a fixed order, a confirmation, then
// the catalogue's statements through SQLQuery1.
#include "FrmKordane.h"

#include "Catalogue.h"
#include "DateConversion.h"
#include "Dialogs.h"
#include "Edit.h"
#include "MaskEdit.h"
#include "RegionalSettings.h"
#include "TransactionScope.h"

#include <QDate>

#include <algorithm>

namespace kordane {

namespace {

// Blanks and control characters off both ends.
QStringView trimmed(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= ' ')
        ++first;
    while (last > first && text[last - 1].unicode() <= ' ')
        --last;
    return QStringView(text).sliced(first, last - first);
}

// Of the right length once trimmed; a text written to the database must also have no
// blank left inside, or no view of the real date or time would ever find the record.
bool fits(const QString& text, qsizetype length, bool written)
{
    const QStringView core = trimmed(text);
    return core.size() == length
        && (!written || std::none_of(core.begin(), core.end(), [](QChar c) { return c.unicode() <= ' '; }));
}

const QString formatError = QStringLiteral("日期格式錯誤..!");

} // namespace

// The checks shared by the three commands; `adding` for add and modify, which write the
// fields' texts as a record.
void TFormKordane::checkFields(bool adding)
{
    if (!fits(MaskEdit1->fieldText(), 10, adding))
        refuse(formatError);
    if (adding) {
        const QDate date = strToDate(MaskEdit1->fieldText(), RegionalSettings::current());
        Edit7->setText(weekdayCharacter(dayOfWeek(date)));
    }
    if (Edit1->text().isEmpty())
        refuse(QStringLiteral("人員代號不可空白..!"));
    if (!fits(MaskEdit2->fieldText(), 8, adding) || !fits(MaskEdit3->fieldText(), 8, adding))
        refuse(formatError);
}

void TFormKordane::deleteByValues()
{
    SQLQuery1.close();
    SQLQuery1.setSql(catalogue::deleteByValues(MaskEdit1->fieldText(), Edit1->text(),
                                                MaskEdit2->fieldText(), MaskEdit3->fieldText()));
    SQLQuery1.execSql();
}

void TFormKordane::insertRecord()
{
    SQLQuery1.close();
    SQLQuery1.setSql(catalogue::insertRecord());
    SQLQuery1.paramByName(QStringLiteral("INI_DATE")).setAsString(MaskEdit1->fieldText());
    SQLQuery1.paramByName(QStringLiteral("EMPLOYEE_ID")).setAsString(Edit1->text());
    SQLQuery1.paramByName(QStringLiteral("TIME_IN")).setAsString(MaskEdit2->fieldText());
    SQLQuery1.paramByName(QStringLiteral("TIME_OUT")).setAsString(MaskEdit3->fieldText());
    SQLQuery1.paramByName(QStringLiteral("CARD_ID")).setAsString(Edit6->text());
    SQLQuery1.paramByName(QStringLiteral("EMPLOYEE_NAME")).setAsString(Edit5->text());
    SQLQuery1.paramByName(QStringLiteral("BILL_WEEK")).setAsString(Edit7->text());
    SQLQuery1.execSql();
}

bool TFormKordane::recordExists()
{
    SQLQuery1.close();
    SQLQuery1.setSql(catalogue::duplicateCheck(MaskEdit1->fieldText(), Edit1->text(),
                                                MaskEdit2->fieldText(), MaskEdit3->fieldText()));
    SQLQuery1.open();
    return !SQLQuery1.isEmpty();
}

void TFormKordane::SpeedButton3Click(QObject*)
{
    checkFields(true);
    if (recordExists())
        refuse(QStringLiteral("修改功能無效..!"));
    if (confirmationDialog(QStringLiteral("確定要新增資料?")) != 6)
        return;
    insertRecord();
}

// The removal and the new record go together or not at all, so a failing insert
// never loses the record it was meant to replace.
void TFormKordane::SpeedButton1Click(QObject*)
{
    checkFields(true);
    if (confirmationDialog(QStringLiteral("是否要修改原資料?")) != 6)
        return;
    TransactionScope transaction(SQLConnection1);
    deleteByValues();
    insertRecord();
    transaction.commit();
}

void TFormKordane::SpeedButton4Click(QObject*)
{
    checkFields(false);
    if (confirmationDialog(QStringLiteral("確定要刪除資料?")) != 6)
        return;
    deleteByValues();
    if (confirmationDialog(QStringLiteral("要清畫面嗎?")) != 6)
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
