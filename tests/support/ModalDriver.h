#pragma once
// Drives modal windows from inside their own event loop: a test arms an action, then calls
// the code that opens the dialog; the action runs once the dialog is up.
#include <QString>
#include <QWidget>

#include <functional>

namespace kordane::test {

// Runs act on the next application-modal widget that opens after this call. If none opens
// within timeoutMs the action is dropped. If the action leaves the widget open, it is ended
// after timeoutMs (a dialog with result -1) so that a faulty test fails instead of hanging.
void whenModal(std::function<void(QWidget* modal)> act, int timeoutMs = 5000);

// Presses and releases key on the widget of modal that holds the focus, as a user would.
void pressKey(QWidget* modal, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Plays a blank-separated list of keys: Enter, KeypadEnter, Escape, Space, Tab, a letter,
// or Alt+ / Shift+ before one of those; "Close" closes the window as its close box does.
void play(QWidget* modal, const QString& keys);

} // namespace kordane::test
