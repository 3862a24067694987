#pragma once
// The hourglass pointer while the program waits for the database, shown through the data
// layer's busy indicator.
namespace kordane {

void installBusyPointer();

} // namespace kordane
