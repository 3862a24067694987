#pragma once
// The system's default beep for refused input. The count lets tests hear it.

namespace kordane {

void beep();
int beepCount();

} // namespace kordane
