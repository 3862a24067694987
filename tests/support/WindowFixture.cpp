#include "tests/support/WindowFixture.h"

#include "widgets/ErrorDisplay.h"

#include <QApplication>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace kordane::test {

void pointSettingsAt(const QString& settingsDir, const QString& connectionsFile, const QString& driversFile)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kordane"),
                       QStringLiteral("dbExpress"));
    settings.setValue(QStringLiteral("Connection Registry File"), connectionsFile);
    settings.setValue(QStringLiteral("Driver Registry File"), driversFile);
    settings.sync();
}

WindowFixture::WindowFixture(TestDatabase::Where where)
    : db_(std::make_unique<TestDatabase>(where))
{
    pointSettingsAt(settingsDir_.path(), db_->connectionsFile(), db_->driversFile());
    ErrorDisplay::setPresenter([this](const QString&, const QString& text) { errors_ << text; });
}

WindowFixture::~WindowFixture()
{
    window_.reset();
    ErrorDisplay::setPresenter({});
}

TFormKordane& WindowFixture::window()
{
    if (!window_)
        window_ = std::make_unique<TFormKordane>();
    return *window_;
}

TFormKordane& WindowFixture::shownWindow()
{
    TFormKordane& w = window();
    w.PageControl1->tabBar()->setFocus(Qt::OtherFocusReason);
    w.show();
    QApplication::setActiveWindow(&w);
    if (!QTest::qWaitForWindowActive(&w))
        qWarning("window did not become active");
    return w;
}

void WindowFixture::reactivate()
{
    QApplication::setActiveWindow(&window());
}

} // namespace kordane::test
