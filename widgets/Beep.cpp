#include "widgets/Beep.h"

#include <QApplication>

namespace kordane {

namespace {
int beeps = 0;
}

void beep()
{
    ++beeps;
    QApplication::beep();
}

int beepCount()
{
    return beeps;
}

} // namespace kordane
