#include "widgets/MaskedEdit.h"

#include "widgets/Beep.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace kordane {

MaskedEdit::MaskedEdit(QWidget* parent)
    : LineEdit(parent)
{
    // Every change goes through the mask: no input method, no drops.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAcceptDrops(false);
}

void MaskedEdit::setEditMask(const QString& mask, QChar dateSeparator, QChar timeSeparator)
{
    mask_ = EditMask(mask, dateSeparator, timeSeparator);
    earlier_ = mask_;
    modified_ = false;
    anchor_ = caret_ = 0;
    refresh();
}

void MaskedEdit::assignText(const QString& text)
{
    mask_.assign(text);
    earlier_ = mask_;
    modified_ = false;
    anchor_ = caret_ = 0;
    refresh();
}

bool MaskedEdit::checkMaskOnLeave()
{
    if (passes())
        return true;
    failCheck();
    return false;
}

void MaskedEdit::failCheck()
{
    beep();
    if (inKey_)
        failedInKey_ = true;
    if (!hasFocus()) {
        reclaiming_ = true;
        setFocus(Qt::OtherFocusReason);
        reclaiming_ = false;
    }
    anchor_ = caret_ = mask_.firstUnfilledRequired();
    refresh();
    // Raised once the focus move that found the fault is over.
    QTimer::singleShot(0, this, [this] {
        pressHandled_ = false;
        emit maskError();
    });
}

void MaskedEdit::refresh()
{
    const QString shown = mask_.shownText();
    if (text() != shown)
        setText(shown);
    const int length = mask_.length();
    anchor_ = std::clamp(anchor_, 0, length);
    caret_ = std::clamp(caret_, 0, length);
    const int low = selectionLow();
    const int high = selectionHigh();
    // The caret's position shows as a selection only while the field has the focus.
    if (low >= high || !hasFocus())
        setCursorPosition(low);
    else if (caret_ < anchor_)
        setSelection(high, low - high);
    else
        setSelection(low, high - low);
}

void MaskedEdit::placeCaret(int pos, bool extend)
{
    caret_ = pos;
    if (!extend)
        anchor_ = pos;
    refresh();
}

void MaskedEdit::selectWhole()
{
    anchor_ = 0;
    caret_ = std::max(mask_.length() - 1, 0);
    refresh();
}

bool MaskedEdit::event(QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return LineEdit::event(e);
    // Escape gives back the earlier text before the focus moves, so the leave handler
    // already sees the text that stays.
    if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape && modified_) {
        mask_ = earlier_;
        modified_ = false;
        anchor_ = caret_ = 0;
        refresh();
    }
    QPointer<MaskedEdit> self(this);
    inKey_ = true;
    failedInKey_ = false;
    const bool handled = LineEdit::event(e);
    if (self)
        inKey_ = false;
    return handled;
}

void MaskedEdit::keyPressEvent(QKeyEvent* e)
{
    if (e->matches(QKeySequence::Copy)) {
        copySelection();
        return;
    }
    if (e->matches(QKeySequence::Cut)) {
        cutSelection();
        return;
    }
    if (e->matches(QKeySequence::Paste)) {
        pasteClipboard();
        return;
    }
    if (e->matches(QKeySequence::SelectAll)) {
        selectWhole();
        return;
    }
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The move this key started may already have failed the check; say it once.
        if (!failedInKey_ && !passes())
            failCheck();
        return;
    case Qt::Key_Escape: // restored before the key went out
    case Qt::Key_Up:
    case Qt::Key_Down:
        return;
    case Qt::Key_Home:
        placeCaret(0, shift);
        return;
    case Qt::Key_End:
        placeCaret(std::max(mask_.length() - 1, 0), shift);
        return;
    case Qt::Key_Left: {
        const int p = mask_.previousDigit(caret_ - 1);
        placeCaret(p < 0 ? caret_ : p, shift);
        return;
    }
    case Qt::Key_Right: {
        const int p = mask_.nextDigit(caret_ + 1);
        placeCaret(p < 0 ? caret_ : p, shift);
        return;
    }
    case Qt::Key_Backspace:
        backspace();
        return;
    case Qt::Key_Delete:
        deleteAtCaret();
        return;
    default:
        break;
    }
    const QString text = e->text();
    if (text.isEmpty() || !text[0].isPrint() || (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        e->ignore();
        return;
    }
    for (const QChar c : text)
        typeChar(c);
}

void MaskedEdit::typeChar(QChar c)
{
    if (hasBlock() && (EditMask::isDigit(c) || mask_.isSeparatorChar(c))) {
        if (EditMask::isDigit(c))
            clearBlock();
        else
            anchor_ = caret_ = selectionLow();
    }
    const int next = mask_.type(caret_, c);
    if (next < 0) {
        beep();
        return;
    }
    if (EditMask::isDigit(c))
        modified_ = true;
    placeCaret(next, false);
}

void MaskedEdit::clearBlock()
{
    const int low = selectionLow();
    mask_.clear(low, selectionHigh());
    modified_ = true;
    placeCaret(low, false);
}

void MaskedEdit::backspace()
{
    if (hasBlock()) {
        clearBlock();
        return;
    }
    const int p = mask_.previousDigit(caret_ - 1);
    if (p < 0)
        return;
    mask_.clear(p, p + 1);
    modified_ = true;
    placeCaret(p, false);
}

void MaskedEdit::deleteAtCaret()
{
    if (hasBlock()) {
        clearBlock();
        return;
    }
    if (!mask_.isDigitPosition(caret_))
        return;
    mask_.clear(caret_, caret_ + 1);
    modified_ = true;
    placeCaret(caret_, false);
}

void MaskedEdit::copySelection() const
{
    const int low = selectionLow();
    if (low < selectionHigh())
        QGuiApplication::clipboard()->setText(mask_.shownText().mid(low, selectionHigh() - low));
}

void MaskedEdit::cutSelection()
{
    if (selectionLow() >= selectionHigh())
        return;
    copySelection();
    clearBlock();
}

void MaskedEdit::pasteClipboard()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    if (hasBlock())
        clearBlock();
    bool refused = false;
    const int next = mask_.paste(caret_, text, &refused);
    modified_ = true;
    if (refused)
        beep();
    placeCaret(next, false);
}

void MaskedEdit::focusInEvent(QFocusEvent* e)
{
    LineEdit::focusInEvent(e);
    setFiltering(true);
    if (!reclaiming_ && isLeaveReason(e->reason())) {
        earlier_ = mask_;
        if (e->reason() != Qt::MouseFocusReason) {
            selectWhole();
            return;
        }
    }
    refresh();
}

bool MaskedEdit::acceptLeave(Qt::FocusReason reason)
{
    // A field that was hidden or disabled cannot hold the focus.
    if (passes() || !isVisible() || !isEnabled()) {
        setFiltering(false);
        return true;
    }
    // A click moved the focus before the press reached the filter; that press is
    // then eaten without a second error.
    if (reason == Qt::MouseFocusReason)
        pressHandled_ = true;
    failCheck();
    return false;
}

void MaskedEdit::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::MiddleButton)
        return; // no pasting of the selection clipboard past the mask
    LineEdit::mousePressEvent(e);
    syncFromLine();
}

void MaskedEdit::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::MiddleButton)
        return;
    LineEdit::mouseReleaseEvent(e);
    syncFromLine();
}

void MaskedEdit::mouseDoubleClickEvent(QMouseEvent* e)
{
    LineEdit::mouseDoubleClickEvent(e);
    syncFromLine();
}

// The line edit placed the cursor or a dragged selection; keep a caret on one position.
void MaskedEdit::syncFromLine()
{
    const int length = mask_.length();
    if (length == 0)
        return;
    if (hasSelectedText()) {
        const int start = selectionStart();
        const int end = selectionEnd();
        if (cursorPosition() <= start) {
            anchor_ = end - 1;
            caret_ = start;
        } else {
            anchor_ = start;
            caret_ = end - 1;
        }
    } else {
        anchor_ = caret_ = std::min(cursorPosition(), length - 1);
    }
    refresh();
}

void MaskedEdit::contextMenuEvent(QContextMenuEvent* e)
{
    // The plain fields' own words and key hints, so Qt's translation serves this menu too.
    const auto item = [](const char* text, QKeySequence::StandardKey key) {
        return QCoreApplication::translate("QLineEdit", text) + u'\t'
            + QKeySequence(key).toString(QKeySequence::NativeText);
    };
    QMenu menu(this);
    const bool selected = selectionLow() < selectionHigh();
    menu.addAction(item("Cu&t", QKeySequence::Cut), [this] { cutSelection(); })->setEnabled(selected);
    menu.addAction(item("&Copy", QKeySequence::Copy), [this] { copySelection(); })->setEnabled(selected);
    menu.addAction(item("&Paste", QKeySequence::Paste), [this] { pasteClipboard(); })
        ->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    menu.addSeparator();
    menu.addAction(item("Select All", QKeySequence::SelectAll), [this] { selectWhole(); });
    menu.exec(e->globalPos());
}

void MaskedEdit::setFiltering(bool on)
{
    if (on == filtering_)
        return;
    filtering_ = on;
    if (on)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

// While this field holds the focus, a press that would give the focus to another
// control of the window is asked about first and eaten when the check fails.
bool MaskedEdit::eventFilter(QObject* watched, QEvent* e)
{
    const QEvent::Type type = e->type();
    if (type == QEvent::MouseButtonRelease && eatRelease_) {
        eatRelease_ = false;
        return true;
    }
    if ((type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) || QApplication::focusWidget() != this)
        return false;
    QWidget* target = pressTarget(watched, e);
    if (!target || target->window() != window() || !clickFocusTaker(target))
        return false;
    if (pressHandled_) {
        pressHandled_ = false;
    } else if (type == QEvent::MouseButtonDblClick ? passes() : checkMaskOnLeave()) {
        return false;
    }
    eatRelease_ = type == QEvent::MouseButtonPress;
    return true;
}

// Presses reach the window before its widgets; find the widget under the pointer.
QWidget* MaskedEdit::pressTarget(QObject* watched, QEvent* e) const
{
    if (watched->isWidgetType())
        return static_cast<QWidget*>(watched);
    if (watched != window()->windowHandle())
        return nullptr;
    QWidget* top = window();
    QWidget* child = top->childAt(static_cast<QMouseEvent*>(e)->position().toPoint());
    return child ? child : top;
}

// The control a click on target would focus, if that is another one than this field.
QWidget* MaskedEdit::clickFocusTaker(QWidget* target) const
{
    for (QWidget* w = target; w; w = w->parentWidget()) {
        QWidget* proxy = w;
        while (proxy->focusProxy())
            proxy = proxy->focusProxy();
        if (proxy == this || proxy->hasFocus())
            return nullptr;
        if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus))
            return w;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

} // namespace kordane
