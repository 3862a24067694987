#pragma once
// A command button that leaves the keyboard focus where it is: clicking it runs no
// field's leave handler, and the command reads the fields exactly as they stand.
#include <QPushButton>

namespace kordane {

class SpeedButton : public QPushButton {
    Q_OBJECT
public:
    explicit SpeedButton(QWidget* parent = nullptr);
    explicit SpeedButton(const QString& caption, QWidget* parent = nullptr);
};

} // namespace kordane
