#include "widgets/MessageDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace kordane {

namespace {

constexpr int iconExtent = 32;

// The screen the user is working on: the active window's, else the primary one.
QScreen* workingScreen()
{
    if (QWidget* active = QApplication::activeWindow())
        if (QScreen* screen = active->screen())
            return screen;
    return QGuiApplication::primaryScreen();
}

} // namespace

MessageDialog::MessageDialog(Kind kind, const QString& text, Buttons buttons)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    const bool warning = kind == Kind::Warning;
    setWindowTitle(warning ? QStringLiteral("Warning") : QStringLiteral("Confirm"));
    setWindowModality(Qt::ApplicationModal);
    // The platform's message font (Qt files it under this class name), not whatever
    // font the main window happens to use.
    setFont(QApplication::font("QMessageBoxLabel"));

    QScreen* screen = workingScreen();
    if (screen)
        setScreen(screen);
    const QRect screenRect = screen ? screen->geometry() : QRect(0, 0, 1024, 768);

    auto* icon = new QLabel(this);
    const QIcon standard = style()->standardIcon(
        warning ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxQuestion, nullptr, this);
    icon->setPixmap(standard.pixmap(QSize(iconExtent, iconExtent), devicePixelRatio()));
    icon->setFixedSize(iconExtent, iconExtent);

    // The text box is at most half the screen wide; a short text keeps its own width.
    auto* message = new QLabel(this);
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    message->setText(text);
    const QRect textBox = message->fontMetrics().boundingRect(
        QRect(0, 0, screenRect.width() / 2, 0), Qt::AlignLeft | Qt::TextWordWrap, text);
    message->setFixedSize(textBox.size());

    QPushButton* yes = buttons.testFlag(Yes) ? addButton(QStringLiteral("&Yes"), ResultYes) : nullptr;
    QPushButton* no = buttons.testFlag(No) ? addButton(QStringLiteral("&No"), ResultNo) : nullptr;
    QPushButton* ok = buttons.testFlag(Ok) ? addButton(QStringLiteral("OK"), ResultOk) : nullptr;
    QPushButton* cancel = buttons.testFlag(Cancel) ? addButton(QStringLiteral("Cancel"), ResultCancel) : nullptr;
    defaultButton_ = ok ? ok : yes;
    cancelButton_ = cancel ? cancel : no ? no
                                         : ok;

    int buttonWidth = 0;
    for (QPushButton* b : std::as_const(buttons_))
        buttonWidth = std::max(buttonWidth, b->sizeHint().width());
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* b : std::as_const(buttons_)) {
        b->setFixedWidth(buttonWidth);
        row->addWidget(b);
    }
    row->addStretch();

    auto* grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->addWidget(icon, 0, 0, Qt::AlignTop);
    grid->addWidget(message, 0, 1, Qt::AlignTop | Qt::AlignLeft);
    grid->addLayout(row, 1, 0, 1, 2);
    grid->activate();

    if (defaultButton_) {
        defaultButton_->setDefault(true);
        defaultButton_->setFocus();
    } else if (!buttons_.isEmpty()) {
        buttons_.first()->setFocus();
    }

    move(screenRect.center() - rect().center());
}

QPushButton* MessageDialog::addButton(const QString& caption, int result)
{
    auto* button = new QPushButton(caption, this);
    // Every button may become the default while it has the focus, so Enter chooses
    // the focused one.
    button->setAutoDefault(true);
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    buttons_.append(button);
    return button;
}

int MessageDialog::show(Kind kind, const QString& text, Buttons buttons)
{
    // The window that asked gets the keyboard back, so its focus moves go on working.
    const QPointer<QWidget> active = QApplication::activeWindow();
    MessageDialog dialog(kind, text, buttons);
    const int result = dialog.exec();
    if (active)
        active->activateWindow();
    // Every way out but a button (close box, Alt+F4, the application quitting) rejects
    // or ends the loop, which gives Rejected.
    return result == QDialog::Rejected ? ResultCancel : result;
}

void MessageDialog::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (mods == Qt::NoModifier) {
        if (event->key() == Qt::Key_Escape) {
            if (cancelButton_)
                cancelButton_->click();
            return;
        }
        // The accelerator letters work without Alt as well.
        for (QPushButton* b : std::as_const(buttons_)) {
            const QKeySequence mnemonic = QKeySequence::mnemonic(b->text());
            if (!mnemonic.isEmpty() && mnemonic[0].key() == event->key()) {
                b->click();
                return;
            }
        }
    }
    QDialog::keyPressEvent(event);
}

} // namespace kordane
