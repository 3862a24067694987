#include "Application.h"

#include "ApplicationTitle.h"
#include "ErrorDisplay.h"

namespace kordane {

KordaneApplication::KordaneApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // Fixed at start from the executable's name. Deliberately not the display name, which
    // Qt would append to every window caption.
    applicationTitle();
}

bool KordaneApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace kordane
