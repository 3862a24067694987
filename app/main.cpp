// Kordane: staff daily attendance records.
#include "app/Application.h"
#include "app/TerminationSignals.h"
#include "forms/FrmKordane.h"

#include <QTabBar>
#include <QTabWidget>

int main(int argc, char** argv)
{
    kordane::KordaneApplication app(argc, argv);
    kordane::TFormKordane FormKordane;
    // A signal that ended the start-up's error box ends the program, as it would later.
    if (kordane::TerminationSignals::received())
        return 0;
    FormKordane.centreOnDesktop();
    // No control is named for the focus: it starts on the page control's tab strip.
    FormKordane.PageControl1->tabBar()->setFocus(Qt::OtherFocusReason);
    FormKordane.show();
    return app.exec();
}
