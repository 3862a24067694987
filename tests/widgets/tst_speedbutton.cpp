#include "widgets/SpeedButton.h"

#include <QDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using kordane::SpeedButton;

// A dialog stands in for the main window: there Enter would go to a default button if
// the speed button were one.
class TestSpeedButton : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void clickKeepsFocusAndEditing();
    void onlyLeftButtonWorksIt();
    void notReachedByKeys();

private:
    QDialog* window_ = nullptr;
    QLineEdit* field_ = nullptr;
    QLineEdit* other_ = nullptr;
    SpeedButton* button_ = nullptr;
};

void TestSpeedButton::init()
{
    window_ = new QDialog;
    auto* layout = new QVBoxLayout(window_);
    field_ = new QLineEdit(window_);
    other_ = new QLineEdit(window_);
    button_ = new SpeedButton(QStringLiteral("新增存檔"), window_);
    layout->addWidget(field_);
    layout->addWidget(button_);
    layout->addWidget(other_);
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    field_->setFocus();
    QCOMPARE(QApplication::focusWidget(), field_);
}

void TestSpeedButton::cleanup()
{
    delete window_;
}

void TestSpeedButton::clickKeepsFocusAndEditing()
{
    QSignalSpy clicked(button_, &QAbstractButton::clicked);
    QSignalSpy editingFinished(field_, &QLineEdit::editingFinished);
    QWidget* focusDuringCommand = nullptr;
    connect(button_, &QAbstractButton::clicked, this, [&] { focusDuringCommand = QApplication::focusWidget(); });

    QTest::mouseClick(button_, Qt::LeftButton);

    QCOMPARE(clicked.count(), 1);
    QCOMPARE(focusDuringCommand, field_);
    QCOMPARE(QApplication::focusWidget(), field_);
    QCOMPARE(editingFinished.count(), 0);
    QVERIFY(!button_->isFlat());
    QVERIFY(button_->icon().isNull());
}

void TestSpeedButton::onlyLeftButtonWorksIt()
{
    QSignalSpy clicked(button_, &QAbstractButton::clicked);
    QTest::mouseClick(button_, Qt::RightButton);
    QTest::mouseClick(button_, Qt::MiddleButton);
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(QApplication::focusWidget(), field_);
}

void TestSpeedButton::notReachedByKeys()
{
    QSignalSpy clicked(button_, &QAbstractButton::clicked);
    QTest::keyClick(field_, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), other_);
    QTest::keyClick(other_, Qt::Key_Space);
    QTest::keyClick(other_, Qt::Key_Return);
    QCOMPARE(clicked.count(), 0);
    QVERIFY(window_->isVisible()); // Enter found no default button to close the dialog with
    QVERIFY(!button_->isDefault());
    QVERIFY(!button_->autoDefault());
}

QTEST_MAIN(TestSpeedButton)
#include "tst_speedbutton.moc"
