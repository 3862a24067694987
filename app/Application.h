#pragma once
// The application object: an error that escapes any event handler run from the message
// loop goes to the error display, and the loop goes on.
#include <QApplication>

namespace kordane {

class KordaneApplication : public QApplication {
    Q_OBJECT
public:
    KordaneApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace kordane
