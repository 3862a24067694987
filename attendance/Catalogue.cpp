#include "attendance/Catalogue.h"

#include "attendance/RegionalSettings.h"

namespace kordane::catalogue {
namespace {

QString quoted(const QString& head, const QString& fieldText)
{
    return head + literalText(fieldText) + u'\'';
}

QStringList recordWhere(const QString& first, const QString& date, const QString& employeeId, const QString& timeIn,
                        const QString& timeOut)
{
    return {
        first,
        quoted(QStringLiteral(" WHERE INI_DATE   = '"), date),
        quoted(QStringLiteral("  AND EMPLOYEE_ID = '"), employeeId),
        quoted(QStringLiteral("  AND TIME_IN     = '"), timeIn),
        quoted(QStringLiteral("  AND TIME_OUT    = '"), timeOut),
    };
}

QStringList recordWhereBound(const QString& first)
{
    return {
        first,
        QStringLiteral(" WHERE INI_DATE   = :INI_DATE"),
        QStringLiteral("  AND EMPLOYEE_ID = :EMPLOYEE_ID"),
        QStringLiteral("  AND TIME_IN     = :TIME_IN"),
        QStringLiteral("  AND TIME_OUT    = :TIME_OUT"),
    };
}

const QString duplicateCheckHead = QStringLiteral("SELECT a.INI_DATE, a.EMPLOYEE_ID, a.TIME_IN, a.TIME_OUT FROM POS_DAY a ");
const QString deleteByValuesHead = QStringLiteral("DELETE  FROM POS_DAY  ");

} // namespace

QString literalText(const QString& fieldText)
{
    QString text = fieldText;
    return text.replace(u'\'', QStringLiteral("''"));
}

QString cutOffDateText(const QDate& today)
{
    return formatDate(today.addDays(-35), RegionalSettings::current());
}

QStringList backfillNames(const QString& cutOffDate)
{
    return {
        QStringLiteral("UPDATE POS_DAY SET "),
        QStringLiteral("EMPLOYEE_NAME=(SELECT EMPLOYEE_NAME FROM EMPLOYEE WHERE EMPLOYEE_ID = POS_DAY.EMPLOYEE_ID)"),
        QStringLiteral("WHERE (EMPLOYEE_NAME IS NULL OR EMPLOYEE_NAME = '' )"),
        quoted(QStringLiteral("  AND INI_DATE >= '"), cutOffDate),
    };
}

QStringList daySelect(const QString& date)
{
    return {
        QStringLiteral("select * from POS_DAY "),
        quoted(QStringLiteral("where INI_DATE = '"), date),
        QStringLiteral("ORDER BY EMPLOYEE_ID,TIME_IN "),
    };
}

QStringList employeeDaySelect(const QString& employeeId, const QString& date)
{
    return {
        QStringLiteral("select * from POS_DAY "),
        quoted(QStringLiteral("where EMPLOYEE_ID = '"), employeeId),
        quoted(QStringLiteral("  AND INI_DATE    = '"), date),
    };
}

QStringList employeeSelect(const QString& employeeId)
{
    return {
        QStringLiteral("SELECT EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID FROM EMPLOYEE "),
        quoted(QStringLiteral(" where EMPLOYEE_ID = '"), employeeId),
    };
}

QStringList duplicateCheck(const QString& date, const QString& employeeId, const QString& timeIn,
                           const QString& timeOut)
{
    return recordWhere(duplicateCheckHead, date, employeeId, timeIn, timeOut);
}

QStringList deleteByValues(const QString& date, const QString& employeeId, const QString& timeIn,
                           const QString& timeOut)
{
    return recordWhere(deleteByValuesHead, date, employeeId, timeIn, timeOut);
}

QStringList duplicateCheckBound()
{
    return recordWhereBound(duplicateCheckHead);
}

QStringList deleteByValuesBound()
{
    return recordWhereBound(deleteByValuesHead);
}

const QStringList& keyParamNames()
{
    static const QStringList names {
        QStringLiteral("INI_DATE"),
        QStringLiteral("EMPLOYEE_ID"),
        QStringLiteral("TIME_IN"),
        QStringLiteral("TIME_OUT"),
    };
    return names;
}

QStringList insertRecord()
{
    return {
        QStringLiteral("INSERT INTO POS_DAY(INI_DATE,EMPLOYEE_ID,TIME_IN,TIME_OUT,CARD_ID,EMPLOYEE_NAME,BILL_WEEK) "),
        QStringLiteral(" VALUES(:INI_DATE,:EMPLOYEE_ID,:TIME_IN,:TIME_OUT,:CARD_ID,:EMPLOYEE_NAME,:BILL_WEEK)"),
    };
}

const QStringList& insertParamNames()
{
    static const QStringList names {
        QStringLiteral("INI_DATE"),
        QStringLiteral("EMPLOYEE_ID"),
        QStringLiteral("TIME_IN"),
        QStringLiteral("TIME_OUT"),
        QStringLiteral("CARD_ID"),
        QStringLiteral("EMPLOYEE_NAME"),
        QStringLiteral("BILL_WEEK"),
    };
    return names;
}

} // namespace kordane::catalogue
