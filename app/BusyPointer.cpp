#include "app/BusyPointer.h"

#include "data/sql/BusyIndicator.h"

#include <QCursor>
#include <QGuiApplication>

namespace kordane {

void installBusyPointer()
{
    busy::setIndicator([](bool waiting) {
        if (waiting)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::restoreOverrideCursor();
    });
}

} // namespace kordane
