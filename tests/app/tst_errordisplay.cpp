#include "app/Application.h"
#include "data/Exceptions.h"
#include "tests/support/ModalDriver.h"
#include "widgets/ApplicationTitle.h"
#include "widgets/Dialogs.h"
#include "widgets/ErrorDisplay.h"

#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <stdexcept>

using kordane::ErrorDisplay;
using kordane::test::whenModal;

namespace {

// Throws from its event handler, as a faulty window handler would.
class ThrowingObject : public QObject {
public:
    int delivered = 0;
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++delivered;
        throw kordane::EDatabaseError(QStringLiteral("SQLConnection1: 無法連線"));
    }
};

} // namespace

class TestErrorDisplay : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void textRule_data();
    void textRule();
    void messageSources_data();
    void messageSources();
    void captionIsApplicationTitle();
    void silentAbortShowsNothing();
    void guardedStopsTheHandler();
    void escapingEventGoesToDisplay();
    void mouseModesCancelled();
    void standardBox();
    void titleRule_data();
    void titleRule();

private:
    QStringList captions_;
    QStringList texts_;
};

void TestErrorDisplay::init()
{
    captions_.clear();
    texts_.clear();
    ErrorDisplay::setPresenter([this](const QString& caption, const QString& text) {
        captions_ << caption;
        texts_ << text;
    });
}

void TestErrorDisplay::cleanup()
{
    ErrorDisplay::setPresenter({});
}

void TestErrorDisplay::textRule_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");

    QTest::newRow("letter") << "Unable to complete network request"
                            << "Unable to complete network request.";
    QTest::newRow("digit") << "error code 335544721"
                           << "error code 335544721.";
    QTest::newRow("Chinese") << "無此人員代號"
                             << "無此人員代號.";
    QTest::newRow("slash, just above the period") << "2026/13/"
                                                  << "2026/13/.";
    QTest::newRow("period") << "Done."
                            << "Done.";
    QTest::newRow("exclamation") << "Stop!"
                                 << "Stop!";
    QTest::newRow("parenthesis") << "failed (42)"
                                 << "failed (42)";
    QTest::newRow("quote") << "'2026/13/01'"
                           << "'2026/13/01'";
    QTest::newRow("double quote") << "field \"X\""
                                  << "field \"X\"";
    QTest::newRow("hyphen") << "value -"
                            << "value -";
    QTest::newRow("blank") << "ends in a blank "
                           << "ends in a blank ";
    QTest::newRow("line break") << "two\nlines\n"
                                << "two\nlines\n";
    QTest::newRow("empty") << ""
                           << "";
}

void TestErrorDisplay::textRule()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    kordane::showError(std::make_exception_ptr(kordane::EDatabaseError(message)));
    QCOMPARE(texts_, QStringList {shown});
}

void TestErrorDisplay::messageSources_data()
{
    QTest::addColumn<std::exception_ptr>("error");
    QTest::addColumn<QString>("shown");

    QTest::newRow("date conversion")
        << std::make_exception_ptr(kordane::EConvertError(QStringLiteral("'2026/13/01' is not a valid date")))
        << "'2026/13/01' is not a valid date.";
    QTest::newRow("edit mask") << std::make_exception_ptr(kordane::EDBEditError())
                               << "Invalid input value.  Use escape key to abandon changes.";
    QTest::newRow("driver") << std::make_exception_ptr(kordane::EDriverError(QStringLiteral("lock conflict"), 1))
                            << "lock conflict.";
    QTest::newRow("std, UTF-8 what()") << std::make_exception_ptr(std::runtime_error("連線失敗"))
                                       << "連線失敗.";
    QTest::newRow("not an exception class") << std::make_exception_ptr(42) << "unknown error.";
}

void TestErrorDisplay::messageSources()
{
    QFETCH(std::exception_ptr, error);
    QFETCH(QString, shown);
    kordane::showError(error);
    QCOMPARE(texts_, QStringList {shown});
}

void TestErrorDisplay::captionIsApplicationTitle()
{
    // This executable is app_tst_errordisplay; a window caption plays no part.
    QWidget window;
    window.setWindowTitle(QStringLiteral("出勤資料"));
    window.show();
    kordane::showError(std::make_exception_ptr(std::runtime_error("x")));
    QCOMPARE(captions_, QStringList {QStringLiteral("app_tst_errordisplay")});
    QCOMPARE(kordane::applicationTitle(), QStringLiteral("app_tst_errordisplay"));
}

void TestErrorDisplay::silentAbortShowsNothing()
{
    kordane::showError(std::make_exception_ptr(kordane::EAbort()));
    kordane::guarded([] { kordane::silentAbort(); });
    QVERIFY(texts_.isEmpty());
}

void TestErrorDisplay::guardedStopsTheHandler()
{
    bool after = false;
    kordane::guarded([&] {
        throw std::logic_error("broken");
        after = true;
    });
    kordane::guarded([&] {
        throw 3.5;
        after = true;
    });
    QVERIFY(!after);
    QCOMPARE(texts_, (QStringList {QStringLiteral("broken."), QStringLiteral("unknown error.")}));
}

void TestErrorDisplay::escapingEventGoesToDisplay()
{
    ThrowingObject target;
    QEvent sent(QEvent::User);
    QCoreApplication::sendEvent(&target, &sent);
    // Posted ones too: the loop goes on after the first and delivers the second.
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    QCOMPARE(target.delivered, 3);
    QCOMPARE(texts_.size(), 3);
    QCOMPARE(texts_.first(), QStringLiteral("SQLConnection1: 無法連線."));
}

void TestErrorDisplay::mouseModesCancelled()
{
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.grabMouse();
    QCOMPARE(QWidget::mouseGrabber(), &window);
    kordane::showError(std::make_exception_ptr(std::runtime_error("x")));
    QCOMPARE(QWidget::mouseGrabber(), nullptr);

    QMenu menu(&window);
    menu.addAction(QStringLiteral("刪除資料"));
    menu.popup(window.mapToGlobal(QPoint(5, 5)));
    QTRY_VERIFY(QApplication::activePopupWidget());
    kordane::showError(std::make_exception_ptr(kordane::EAbort()));
    QVERIFY(!QApplication::activePopupWidget());
}

void TestErrorDisplay::standardBox()
{
    ErrorDisplay::setPresenter({});
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    Qt::WindowModality modality = Qt::NonModal;
    whenModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            modality = box->windowModality();
            for (QAbstractButton* b : box->buttons())
                buttons << QString::number(box->standardButton(b));
        }
        kordane::test::play(modal, QStringLiteral("Enter"));
    });
    kordane::showError(std::make_exception_ptr(kordane::EDBEditError()));
    QCOMPARE(caption, kordane::applicationTitle());
    QCOMPARE(text, QStringLiteral("Invalid input value.  Use escape key to abandon changes."));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(modality, Qt::ApplicationModal);
    QCOMPARE(buttons, QStringList {QString::number(QMessageBox::Ok)});
}

void TestErrorDisplay::titleRule_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");

    QTest::newRow("bare upper-case name") << "KORDANE.EXE"
                                          << "Kordane";
    QTest::newRow("Windows path") << "C:\\Program Files\\Kordane\\KORDANE.EXE"
                                  << "Kordane";
    QTest::newRow("cut at first dot") << "my.tool.exe"
                                      << "my";
    QTest::newRow("Unix path, no extension") << "/x/build/bin/Kordane"
                                             << "Kordane";
    QTest::newRow("dot in a folder only") << "/opt/k.d/KORDANE"
                                          << "Kordane";
    QTest::newRow("mixed separators") << "C:\\a/b\\XY.Z"
                                      << "Xy";
    QTest::newRow("first stays lower") << "kordane"
                                       << "kordane";
    QTest::newRow("non-ASCII") << "ÉCOLE.EXE"
                               << "École";
    QTest::newRow("dot first") << ".hidden"
                               << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestErrorDisplay::titleRule()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(kordane::applicationTitleFor(path), title);
}

// The real application object, so that events escaping handlers take the program's path.
int main(int argc, char** argv)
{
    kordane::KordaneApplication app(argc, argv);
    TestErrorDisplay test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_errordisplay.moc"
