#include "tests/support/ModalDriver.h"
#include "widgets/Dialogs.h"
#include "widgets/ErrorDisplay.h"
#include "widgets/MessageDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>

using kordane::MessageDialog;
using kordane::test::play;
using kordane::test::whenModal;

namespace {

QStringList captions(const QList<QPushButton*>& buttons)
{
    QStringList texts;
    for (const QPushButton* b : buttons)
        texts << b->text();
    return texts;
}

QLabel* messageLabel(const QWidget* dialog)
{
    for (QLabel* label : dialog->findChildren<QLabel*>())
        if (label->pixmap().isNull())
            return label;
    return nullptr;
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void results_data();
    void results();
    void commandDialogs_data();
    void commandDialogs();
    void fixedOrderDefaultAndCancel_data();
    void fixedOrderDefaultAndCancel();
    void frame();
    void longTextWrapsAtHalfScreen();
    void shortTextKeepsButtonRow();
    void quittingTheApplicationGivesCancel();
    void refuseShowsOneWarningAndAborts();
};

void TestDialogs::results_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("expected");

    const int warning = int(MessageDialog::Kind::Warning);
    const int confirmation = int(MessageDialog::Kind::Confirmation);
    const int ok = MessageDialog::Ok;
    const int yesNo = MessageDialog::Yes | MessageDialog::No;
    const int okCancel = MessageDialog::Ok | MessageDialog::Cancel;

    QTest::newRow("warning Enter") << warning << ok << "Enter" << 1;
    QTest::newRow("warning Escape") << warning << ok << "Escape" << 1;
    QTest::newRow("warning Space") << warning << ok << "Space" << 1;
    QTest::newRow("warning close box") << warning << ok << "Close" << 2;
    QTest::newRow("warning ignores Y") << warning << ok << "Y N Enter" << 1;

    QTest::newRow("confirm Enter") << confirmation << yesNo << "Enter" << 6;
    QTest::newRow("confirm keypad Enter") << confirmation << yesNo << "KeypadEnter" << 6;
    QTest::newRow("confirm Escape") << confirmation << yesNo << "Escape" << 7;
    QTest::newRow("confirm Y") << confirmation << yesNo << "Y" << 6;
    QTest::newRow("confirm Shift+Y") << confirmation << yesNo << "Shift+Y" << 6;
    QTest::newRow("confirm N") << confirmation << yesNo << "N" << 7;
    QTest::newRow("confirm Alt+N") << confirmation << yesNo << "Alt+N" << 7;
    QTest::newRow("confirm Space") << confirmation << yesNo << "Space" << 6;
    QTest::newRow("confirm Enter on No") << confirmation << yesNo << "Tab Enter" << 7;
    QTest::newRow("confirm Space on No") << confirmation << yesNo << "Tab Space" << 7;
    QTest::newRow("confirm Tab wraps to Yes") << confirmation << yesNo << "Tab Tab Enter" << 6;
    QTest::newRow("confirm close box") << confirmation << yesNo << "Close" << 2;

    QTest::newRow("grid Enter") << confirmation << okCancel << "Enter" << 1;
    QTest::newRow("grid Escape") << confirmation << okCancel << "Escape" << 2;
    QTest::newRow("grid Space") << confirmation << okCancel << "Space" << 1;
    QTest::newRow("grid Enter on Cancel") << confirmation << okCancel << "Tab Enter" << 2;
    QTest::newRow("grid close box") << confirmation << okCancel << "Close" << 2;

    QTest::newRow("Escape picks No without Cancel") << confirmation << (yesNo | ok) << "Escape" << 7;
    QTest::newRow("Escape picks OK without No") << confirmation << (ok | MessageDialog::Yes) << "Escape" << 1;
    QTest::newRow("Enter picks OK over Yes") << confirmation << (yesNo | okCancel) << "Enter" << 1;
}

void TestDialogs::results()
{
    QFETCH(int, kind);
    QFETCH(int, buttons);
    QFETCH(QString, keys);
    QFETCH(int, expected);

    bool stillOpenBeforeLastKey = true;
    whenModal([&](QWidget* modal) {
        const qsizetype last = keys.lastIndexOf(u' ');
        play(modal, keys.left(std::max<qsizetype>(last, 0)));
        stillOpenBeforeLastKey = modal->isVisible();
        play(modal, keys.mid(last + 1));
    });
    const int result = MessageDialog::show(MessageDialog::Kind(kind), QStringLiteral("是否確定?"),
                                           MessageDialog::Buttons(buttons));
    QVERIFY2(stillOpenBeforeLastKey, "closed before its last key");
    QCOMPARE(result, expected);
}

void TestDialogs::commandDialogs_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("enterResult");

    QTest::newRow("warning") << 0 << QStringLiteral("Warning") << QStringList {QStringLiteral("OK")} << -1;
    QTest::newRow("confirmation") << 1 << QStringLiteral("Confirm") << QStringList {QStringLiteral("&Yes"), QStringLiteral("&No")} << 6;
    QTest::newRow("grid question") << 2 << QStringLiteral("Confirm") << QStringList {QStringLiteral("OK"), QStringLiteral("Cancel")} << 1;
}

void TestDialogs::commandDialogs()
{
    QFETCH(int, which);
    QFETCH(QString, caption);
    QFETCH(QStringList, buttons);
    QFETCH(int, enterResult);

    const QString text = QStringLiteral("無此人員代號");
    QString seenCaption, seenText;
    QStringList seenButtons;
    whenModal([&](QWidget* modal) {
        seenCaption = modal->windowTitle();
        if (QLabel* label = messageLabel(modal))
            seenText = label->text();
        if (auto* dialog = qobject_cast<MessageDialog*>(modal))
            seenButtons = captions(dialog->buttons());
        play(modal, QStringLiteral("Enter"));
    });
    int result = -1;
    switch (which) {
    case 0: kordane::warningDialog(text); break;
    case 1: result = kordane::confirmationDialog(text); break;
    case 2: result = kordane::gridDeleteQuestion(text); break;
    }
    QCOMPARE(seenCaption, caption);
    QCOMPARE(seenText, text);
    QCOMPARE(seenButtons, buttons);
    QCOMPARE(result, enterResult);
}

void TestDialogs::fixedOrderDefaultAndCancel_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QString>("defaultCaption");
    QTest::addColumn<QString>("cancelCaption");

    using M = MessageDialog;
    QTest::newRow("all four") << int(M::Cancel | M::Ok | M::No | M::Yes)
                              << QStringList {QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("OK"), QStringLiteral("Cancel")} << QStringLiteral("OK") << QStringLiteral("Cancel");
    QTest::newRow("yes no") << int(M::No | M::Yes) << QStringList {QStringLiteral("&Yes"), QStringLiteral("&No")} << QStringLiteral("&Yes") << QStringLiteral("&No");
    QTest::newRow("ok cancel") << int(M::Cancel | M::Ok) << QStringList {QStringLiteral("OK"), QStringLiteral("Cancel")} << QStringLiteral("OK") << QStringLiteral("Cancel");
    QTest::newRow("ok") << int(M::Ok) << QStringList {QStringLiteral("OK")} << QStringLiteral("OK") << QStringLiteral("OK");
    QTest::newRow("yes cancel") << int(M::Cancel | M::Yes) << QStringList {QStringLiteral("&Yes"), QStringLiteral("Cancel")} << QStringLiteral("&Yes") << QStringLiteral("Cancel");
}

void TestDialogs::fixedOrderDefaultAndCancel()
{
    QFETCH(int, buttons);
    QFETCH(QStringList, order);
    QFETCH(QString, defaultCaption);
    QFETCH(QString, cancelCaption);

    MessageDialog dialog(MessageDialog::Kind::Confirmation, QStringLiteral("x"), MessageDialog::Buttons(buttons));
    QList<QPushButton*> byPosition = dialog.buttons();
    std::sort(byPosition.begin(), byPosition.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    QCOMPARE(captions(byPosition), order);
    QCOMPARE(dialog.defaultButton()->text(), defaultCaption);
    QVERIFY(dialog.defaultButton()->isDefault());
    QCOMPARE(dialog.focusWidget(), dialog.defaultButton());
    QCOMPARE(dialog.cancelButton()->text(), cancelCaption);
    for (QPushButton* b : dialog.buttons())
        QCOMPARE(b->width(), dialog.buttons().first()->width());
}

void TestDialogs::frame()
{
    MessageDialog dialog(MessageDialog::Kind::Warning, QStringLiteral("x"), MessageDialog::Ok);
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(dialog.windowModality(), Qt::ApplicationModal);
    QCOMPARE(dialog.font(), QApplication::font("QMessageBoxLabel"));

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(qAbs(dialog.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(dialog.geometry().center().y() - screen.center().y()) <= 1);

    const auto icons = dialog.findChildren<QLabel*>();
    const bool hasIcon = std::any_of(icons.begin(), icons.end(),
                                     [](QLabel* l) { return !l->pixmap().isNull() && l->size() == QSize(32, 32); });
    QVERIFY(hasIcon);
}

void TestDialogs::longTextWrapsAtHalfScreen()
{
    const QString text = QStringLiteral("The quick brown fox jumps over the lazy dog. ").repeated(60);
    MessageDialog dialog(MessageDialog::Kind::Warning, text, MessageDialog::Ok);
    const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
    QLabel* label = messageLabel(&dialog);
    QVERIFY(label);
    QVERIFY(label->width() <= half);
    QVERIFY(label->width() > half * 3 / 4);
    QVERIFY(label->height() > 5 * label->fontMetrics().height());
    QVERIFY(dialog.width() < half + 32 + 100);
}

void TestDialogs::shortTextKeepsButtonRow()
{
    using M = MessageDialog;
    M narrow(M::Kind::Confirmation, QStringLiteral("?"), M::Yes | M::No | M::Ok | M::Cancel);
    int row = 0;
    for (QPushButton* b : narrow.buttons())
        row += b->width();
    QVERIFY(narrow.width() >= row);

    M oneLine(M::Kind::Warning, QStringLiteral("請輸入日期"), M::Ok);
    QLabel* label = messageLabel(&oneLine);
    QCOMPARE(label->width(), label->fontMetrics().boundingRect(label->text()).width());
    QVERIFY(oneLine.width() < QGuiApplication::primaryScreen()->geometry().width() / 2);
}

void TestDialogs::quittingTheApplicationGivesCancel()
{
    // Quitting only ends loops while the application's own loop runs, as it does in the program.
    int result = 0;
    QTimer::singleShot(0, [&] {
        whenModal([](QWidget*) { QCoreApplication::quit(); });
        result = MessageDialog::show(MessageDialog::Kind::Confirmation, QStringLiteral("?"),
                                     MessageDialog::Yes | MessageDialog::No);
    });
    QCoreApplication::exec();
    QCOMPARE(result, 2);
}

void TestDialogs::refuseShowsOneWarningAndAborts()
{
    int presented = 0;
    kordane::ErrorDisplay::setPresenter([&](const QString&, const QString&) { ++presented; });
    int dialogs = 0;
    QString caption;
    whenModal([&](QWidget* modal) {
        ++dialogs;
        caption = modal->windowTitle();
        play(modal, QStringLiteral("Enter"));
    });
    bool ranOn = false;
    kordane::guarded([&] {
        kordane::refuse(QStringLiteral("日期錯誤"));
        ranOn = true;
    });
    kordane::ErrorDisplay::setPresenter({});
    QCOMPARE(dialogs, 1);
    QCOMPARE(caption, QStringLiteral("Warning"));
    QVERIFY(!ranOn);
    QCOMPARE(presented, 0);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
