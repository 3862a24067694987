#pragma once
// The window's record fields filled and its buttons clicked, as a clerk does.
#include "forms/FrmKordane.h"

#include <QString>

namespace kordane {
class SpeedButton;
}

namespace kordane::test {

// Date, employee code, time on duty and time off duty.
void fill(TFormKordane& w, const QString& date, const QString& code, const QString& in, const QString& out);
void click(SpeedButton* button);

} // namespace kordane::test
