// Kordane: staff daily attendance records.
#include "Application.h"
#include "FrmKordane.h"

#include <QTabBar>
#include <QTabWidget>

int main(int argc, char** argv)
{
    kordane::KordaneApplication app(argc, argv);
    kordane::TFormKordane FormKordane;
    FormKordane.centreOnDesktop();
    // No control is named for the focus: it starts on the page control's tab strip.
    FormKordane.PageControl1->tabBar()->setFocus(Qt::OtherFocusReason);
    FormKordane.show();
    return app.exec();
}
