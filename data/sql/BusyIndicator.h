#pragma once
// Shows that the program waits for the database while a connection opens. The data layer
// knows no screen: the application installs what shows it (the busy pointer); a program
// without a screen installs nothing.
#include <functional>

namespace kordane::busy {

// Called with true when a wait begins and with false when it ends.
void setIndicator(std::function<void(bool)> indicator);

// A wait, shown for its lifetime when `wanted` and an indicator is installed.
class Scope {
public:
    explicit Scope(bool wanted);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    bool shown_;
};

} // namespace kordane::busy
