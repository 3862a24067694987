#pragma once
// The program's own modal message dialog: built for one question, shown application-modal,
// destroyed when the answer is in. Buttons keep a fixed order whatever the caller asks for,
// and the answer is one of the integers below, which callers compare against.
#include <QDialog>
#include <QFlags>
#include <QList>

class QPushButton;

namespace kordane {

class MessageDialog : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Warning,
                      Confirmation };

    enum Button { Yes = 0x1,
                  No = 0x2,
                  Ok = 0x4,
                  Cancel = 0x8 };
    Q_DECLARE_FLAGS(Buttons, Button)

    enum Result : int { ResultOk = 1,
                        ResultCancel = 2,
                        ResultYes = 6,
                        ResultNo = 7 };

    MessageDialog(Kind kind, const QString& text, Buttons buttons);

    // Builds the dialog, runs it modally and returns the result of the button that closed it;
    // any other way of closing it (close box, Alt+F4, the application quitting) gives ResultCancel.
    static int show(Kind kind, const QString& text, Buttons buttons);
    using QDialog::show;

    QPushButton* defaultButton() const { return defaultButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    // Left to right, as shown.
    const QList<QPushButton*>& buttons() const { return buttons_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* addButton(const QString& caption, int result);

    QList<QPushButton*> buttons_;
    QPushButton* defaultButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

} // namespace kordane

Q_DECLARE_OPERATORS_FOR_FLAGS(kordane::MessageDialog::Buttons)
