#pragma once
// punches card: a card that moves from one employee to another on a date, so that its
// punches before the date stay its earlier holder's.
#include <QStringList>

namespace kordane::admin {

int cardCommand(const QStringList& arguments);

} // namespace kordane::admin
