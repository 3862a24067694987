#pragma once
// The messages for the driver's status codes. From DBXERR_SERVER-1 (255) upward the
// failing object's own text is the message instead.
#include <QString>

#include "drivers/api/dbx.h"

namespace kordane {

inline constexpr dbx::Status firstObjectTextStatus = 255;

// The fixed message for a status below 255 (any non-zero one).
QString driverStatusMessage(dbx::Status status);

} // namespace kordane
