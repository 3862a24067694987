#include "data/sql/BusyIndicator.h"

namespace kordane::busy {
namespace {

std::function<void(bool)>& installed()
{
    static std::function<void(bool)> indicator;
    return indicator;
}

} // namespace

void setIndicator(std::function<void(bool)> indicator)
{
    installed() = std::move(indicator);
}

Scope::Scope(bool wanted)
    : shown_(wanted && installed())
{
    if (shown_)
        installed()(true);
}

Scope::~Scope()
{
    if (shown_ && installed())
        installed()(false);
}

} // namespace kordane::busy
