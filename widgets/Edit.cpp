#include "Edit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QPointer>

namespace kordane {

TEdit::TEdit(QWidget* parent) : QLineEdit(parent) {}

void TEdit::setGrey(bool grey)
{
    grey_ = grey;
    setReadOnly(grey);
    setFocusPolicy(grey ? Qt::ClickFocus : Qt::StrongFocus);
    QPalette p = palette();
    p.setColor(QPalette::Base, grey ? QColor(192, 192, 192) : QApplication::palette(this).color(QPalette::Base));
    setPalette(p);
}

bool TEdit::event(QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(e);
        QPointer<TEdit> self(this);
        emit keyDown(k->key(), k->modifiers());
        if (!self)
            return true;
    }
    return QLineEdit::event(e);
}

bool TEdit::isLeaveReason(Qt::FocusReason reason)
{
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason
           && reason != Qt::MenuBarFocusReason && reason != Qt::NoFocusReason;
}

void TEdit::focusInEvent(QFocusEvent* e)
{
    entered_ = true;
    QLineEdit::focusInEvent(e);
}

void TEdit::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (!entered_ || !isLeaveReason(e->reason()))
        return;
    entered_ = false;
    if (acceptLeave(e->reason()))
        emit exited();
}

bool TEdit::acceptLeave(Qt::FocusReason)
{
    return true;
}

} // namespace kordane
