#include "data/sql/DriverErrors.h"

namespace kordane {

QString driverStatusMessage(dbx::Status status)
{
    static const char* const messages[] = {
        nullptr,
        "dbExpress Error: Insufficient Memory for Operation",
        "dbExpress Error: Invalid Field Type",
        "dbExpress Error: Invalid Handle",
        "dbExpress Error: Invalid Time",
        "dbExpress Error: Operation Not Supported",
        "dbExpress Error: Invalid Data Translation",
        "dbExpress Error: Invalid Parameter",
        "dbExpress Error: Parameter/Column out of Range",
        "dbExpress Error: Parameter Not Set",
        "dbExpress Error: Result set at EOF",
        "dbExpress Error: Invalid Username/Password",
        "dbExpress Error: Invalid Precision",
        "dbExpress Error: Invalid Length",
        "dbExpress Error: Invalid Transaction Isolation Level",
        "dbExpress Error: Invalid Transaction ID",
        "dbExpress Error: Duplicate Transaction ID",
        "dbExpress Error: Driver Restricted",
        "dbExpress Error: Local Transaction already active",
        "dbExpress Error: Multiple Transactions not Enabled",
    };
    if (status > 0 && status < static_cast<dbx::Status>(std::size(messages)))
        return QString::fromLatin1(messages[status]);
    return QStringLiteral("DBX Error: No Mapping for Error Code Found");
}

} // namespace kordane
