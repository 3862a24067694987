#include "widgets/SpeedButton.h"

namespace kordane {

SpeedButton::SpeedButton(QWidget* parent)
    : SpeedButton(QString(), parent)
{
}

SpeedButton::SpeedButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent)
{
    // Not reachable by Tab nor focused by a click, so only the left mouse button works it.
    setFocusPolicy(Qt::NoFocus);
    setFlat(false);
    // Enter and Escape in a field belong to the field, even inside a dialog.
    setAutoDefault(false);
    setDefault(false);
}

} // namespace kordane
