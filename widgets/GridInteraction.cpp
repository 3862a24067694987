#include "widgets/GridInteraction.h"

namespace kordane {

GridInteraction::During::During(GridInteraction& owner, Work work)
    : owner_(owner)
    , work_(work)
    , was_(owner.inWork(work))
{
    owner_.work_[index(work_)] = true;
}

GridInteraction::During::~During()
{
    owner_.work_[index(work_)] = was_;
}

void GridInteraction::rowsReloaded(bool focusNamedOurs)
{
    // The field that the focus leaves is told while the focus is already named ours, and
    // its handler reloaded the rows: the press on its way is for rows that are gone.
    if (focusNamedOurs && !focused_)
        press_ = Press::VoidPress;
    else if (press_ == Press::ClickArmed)
        press_ = Press::Idle;
}

void GridInteraction::focusIn(bool byMouse)
{
    focused_ = true;
    // Only a press can be void; the keyboard brings no press with it.
    if (!byMouse && press_ == Press::VoidPress)
        press_ = Press::Idle;
}

void GridInteraction::focusOut()
{
    focused_ = false;
}

void GridInteraction::pressedElsewhere()
{
    if (press_ == Press::VoidPress)
        press_ = Press::Idle;
}

bool GridInteraction::pressBegins()
{
    const bool isVoid = press_ == Press::VoidPress;
    press_ = Press::Idle;
    return !isVoid;
}

void GridInteraction::armClick()
{
    press_ = Press::ClickArmed;
}

void GridInteraction::armMenu()
{
    press_ = Press::MenuArmed;
}

bool GridInteraction::takeClick()
{
    if (press_ != Press::ClickArmed)
        return false;
    press_ = Press::Idle;
    return true;
}

bool GridInteraction::takeMenu()
{
    if (press_ != Press::MenuArmed)
        return false;
    press_ = Press::Idle;
    return true;
}

} // namespace kordane
