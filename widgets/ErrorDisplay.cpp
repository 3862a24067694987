#include "widgets/ErrorDisplay.h"

#include "data/Exceptions.h"
#include "widgets/ApplicationTitle.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>

#include <optional>

namespace kordane {

namespace {

ErrorDisplay::Presenter& presenter()
{
    static ErrorDisplay::Presenter instance;
    return instance;
}

// A capture or an open popup would otherwise keep the mouse away from the box.
void cancelMouseModes()
{
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    for (QWidget* popup = QApplication::activePopupWidget(); popup;) {
        popup->close();
        QWidget* next = QApplication::activePopupWidget();
        if (next == popup)
            break;
        popup = next;
    }
}

// The message to show, or nothing for the silent abort.
std::optional<QString> messageOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        return std::nullopt;
    } catch (const Exception& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

// The standard box, centred on the screen of the window the user was working in.
class ErrorBox : public QMessageBox {
public:
    ErrorBox(const QString& caption, const QString& text, QScreen* screen)
        : QMessageBox(QMessageBox::Critical, caption, text, QMessageBox::Ok)
        , screen_(screen)
    {
        setTextFormat(Qt::PlainText);
        setWindowModality(Qt::ApplicationModal);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event); // settles the box's size
        if (screen_)
            move(screen_->availableGeometry().center() - rect().center());
    }

private:
    QPointer<QScreen> screen_;
};

void showStandardBox(const QString& caption, const QString& text)
{
    const QPointer<QWidget> active = QApplication::activeWindow();
    ErrorBox box(caption, text, active ? active->screen() : QGuiApplication::primaryScreen());
    box.exec();
    if (active)
        active->activateWindow();
}

} // namespace

void ErrorDisplay::setPresenter(Presenter p)
{
    presenter() = std::move(p);
}

QString ErrorDisplay::displayText(const QString& message)
{
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

void showError(std::exception_ptr error) noexcept
{
    try {
        cancelMouseModes();
        const std::optional<QString> message = messageOf(error);
        if (!message)
            return;
        const QString text = ErrorDisplay::displayText(*message);
        if (presenter())
            presenter()(applicationTitle(), text);
        else
            showStandardBox(applicationTitle(), text);
    } catch (...) {
        // Failing to show an error leaves nothing better to do than go on.
    }
}

} // namespace kordane
