#include "widgets/LineEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QPointer>

namespace kordane {

LineEdit::LineEdit(QWidget* parent)
    : QLineEdit(parent)
{
}

void LineEdit::setGrey(bool grey)
{
    setReadOnly(grey);
    setFocusPolicy(grey ? Qt::ClickFocus : Qt::StrongFocus);
    QPalette p = palette();
    p.setColor(QPalette::Base, grey ? QColor(192, 192, 192) : QApplication::palette(this).color(QPalette::Base));
    setPalette(p);
}

bool LineEdit::event(QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(e);
        QPointer<LineEdit> self(this);
        emit keyDown(k->key(), k->modifiers());
        if (!self)
            return true;
    }
    return QLineEdit::event(e);
}

bool LineEdit::isLeaveReason(Qt::FocusReason reason)
{
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason
        && reason != Qt::MenuBarFocusReason && reason != Qt::NoFocusReason;
}

void LineEdit::focusInEvent(QFocusEvent* e)
{
    entered_ = true;
    QLineEdit::focusInEvent(e);
}

void LineEdit::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (!entered_ || !isLeaveReason(e->reason()))
        return;
    entered_ = false;
    if (acceptLeave(e->reason()))
        emit exited();
}

bool LineEdit::acceptLeave(Qt::FocusReason)
{
    return true;
}

} // namespace kordane
