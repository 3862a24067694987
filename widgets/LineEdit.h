#pragma once
// A single-line entry field that reports every key press before handling it itself,
// and reports leaving it for another control of the window.
#include <QLineEdit>

namespace kordane {

class LineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit LineEdit(QWidget* parent = nullptr);

    // Read-only with a silver background; still focused by a click (not by Tab), so its
    // text can be selected and copied.
    void setGrey(bool grey);

signals:
    // Before the field's own handling of the key; the key is not consumed.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    // The focus went to another control of the window (not a deactivation or a pop-up).
    void exited();

protected:
    bool event(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    // Asked when the focus goes to another control; false keeps exited() back.
    virtual bool acceptLeave(Qt::FocusReason reason);

    static bool isLeaveReason(Qt::FocusReason reason);

private:
    // A focus-out without a focus-in happens when a field takes the focus straight back
    // during the move; that is no leave.
    bool entered_ = false;
};

} // namespace kordane
