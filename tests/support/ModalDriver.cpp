#include "ModalDriver.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <memory>

namespace kordane::test {

void whenModal(std::function<void(QWidget* modal)> act, int timeoutMs)
{
    const QPointer<QWidget> before = QApplication::activeModalWidget();
    // Owned by the application, so a watch that never saw its dialog goes with it.
    auto* poll = new QTimer(QCoreApplication::instance());
    auto waited = std::make_shared<int>(0);
    constexpr int step = 10;
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        *waited += step;
        if (modal && modal != before && modal->isVisible()) {
            poll->deleteLater();
            const QPointer<QWidget> opened = modal;
            act(modal);
            QTimer::singleShot(timeoutMs, [opened] {
                if (!opened || !opened->isVisible())
                    return;
                if (auto* dialog = qobject_cast<QDialog*>(opened.data()))
                    dialog->done(-1);
                else
                    opened->close();
            });
        } else if (*waited >= timeoutMs) {
            poll->deleteLater();
        }
    });
    poll->start(step);
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
