#pragma once
// The real main window on a temporary database: the per-user settings store is pointed
// at the database's configuration files before the window (and so its connection) is made.
#include "forms/FrmKordane.h"
#include "tests/support/TestDatabase.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace kordane::test {

// Points the settings store at `connectionsFile` and `driversFile` for this process.
void pointSettingsAt(const QString& settingsDir, const QString& connectionsFile, const QString& driversFile);

class WindowFixture {
public:
    explicit WindowFixture(TestDatabase::Where where = TestDatabase::Where::Embedded);
    ~WindowFixture();

    TestDatabase& db() { return *db_; }
    // Made on first use, so a test can prepare rows that the start-up sees.
    TFormKordane& window();
    // Shown and active, with the focus where the start-up leaves it.
    TFormKordane& shownWindow();
    // The offscreen platform gives no window the keyboard back when a modal dialog
    // closes (a window manager does): hand it back to the main window.
    void reactivate();
    // Every error the error display was given since the window was made.
    const QStringList& errors() const { return errors_; }
    void clearErrors() { errors_.clear(); }

private:
    QTemporaryDir settingsDir_;
    std::unique_ptr<TestDatabase> db_;
    std::unique_ptr<TFormKordane> window_;
    QStringList errors_;
};

} // namespace kordane::test
