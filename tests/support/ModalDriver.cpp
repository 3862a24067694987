#include "tests/support/ModalDriver.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <memory>

namespace kordane::test {

namespace {

// Watches the application for the next modal window to be shown and acts on it from inside
// its own event loop, at once rather than at a polling tick (benchmarks time through it).
class ModalWatch : public QObject {
public:
    ModalWatch(std::function<void(QWidget*)> act, int timeoutMs)
        : QObject(QCoreApplication::instance())
        , act_(std::move(act))
        , timeoutMs_(timeoutMs)
    {
        qApp->installEventFilter(this);
        QTimer::singleShot(timeoutMs, this, [this] { deleteLater(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (fired_ || event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->isWindow() || widget->windowModality() != Qt::ApplicationModal)
            return false;
        fired_ = true;
        qApp->removeEventFilter(this);
        const QPointer<QWidget> opened = widget;
        QTimer::singleShot(0, this, [this, opened] {
            // Keys reach a window only once it is active (mnemonics need that too).
            if (opened && opened->isVisible() && !opened->isActiveWindow())
                (void)QTest::qWaitForWindowActive(opened, 1000);
            if (opened && opened->isVisible())
                act_(opened);
            QTimer::singleShot(timeoutMs_, [opened] {
                if (!opened || !opened->isVisible())
                    return;
                if (auto* dialog = qobject_cast<QDialog*>(opened.data()))
                    dialog->done(-1);
                else
                    opened->close();
            });
            deleteLater();
        });
        return false;
    }

private:
    std::function<void(QWidget*)> act_;
    int timeoutMs_;
    bool fired_ = false;
};

} // namespace

void whenModal(std::function<void(QWidget* modal)> act, int timeoutMs)
{
    // Owned by the application, so a watch that never saw its window goes with it.
    new ModalWatch(std::move(act), timeoutMs);
}

void pressKey(QWidget* modal, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QWidget* target = modal->focusWidget() ? modal->focusWidget() : modal;
    QTest::keyClick(target, key, modifiers);
}

void play(QWidget* modal, const QString& keys)
{
    for (QString token : keys.split(u' ', Qt::SkipEmptyParts)) {
        if (token == u"Close") {
            modal->close();
            continue;
        }
        Qt::KeyboardModifiers modifiers;
        if (token.startsWith(u"Alt+")) {
            modifiers |= Qt::AltModifier;
            token.remove(0, 4);
        } else if (token.startsWith(u"Shift+")) {
            modifiers |= Qt::ShiftModifier;
            token.remove(0, 6);
        }
        Qt::Key key;
        if (token == u"Enter")
            key = Qt::Key_Return;
        else if (token == u"KeypadEnter")
            key = Qt::Key_Enter;
        else if (token == u"Escape")
            key = Qt::Key_Escape;
        else if (token == u"Space")
            key = Qt::Key_Space;
        else if (token == u"Tab")
            key = Qt::Key_Tab;
        else
            key = Qt::Key(Qt::Key_A + (token.at(0).toUpper().unicode() - u'A'));
        pressKey(modal, key, modifiers);
    }
}

} // namespace kordane::test
