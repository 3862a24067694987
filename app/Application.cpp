#include "app/Application.h"

#include "app/BusyPointer.h"
#include "app/QtTranslations.h"
#include "app/TerminationSignals.h"
#include "widgets/ApplicationTitle.h"
#include "widgets/ErrorDisplay.h"

#include <QDirIterator>
#include <QIcon>
#include <QLocale>

namespace kordane {

KordaneApplication::KordaneApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    // Fixed at start from the executable's name. Deliberately not the display name, which
    // Qt would append to every window caption.
    applicationTitle();
    // Every size the program carries (a resource of the executable); Qt picks per use.
    QIcon icon;
    for (QDirIterator it(QStringLiteral(":/icons"), {QStringLiteral("kordane-*.png")}); it.hasNext();)
        icon.addFile(it.next());
    setWindowIcon(icon);
    setDesktopFileName(QStringLiteral("kordane"));
    installQtTranslations(QLocale::system());
    new TerminationSignals(this);
    installBusyPointer();
}

bool KordaneApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace kordane
