// The masked field under real key and mouse events, in a small window that moves the
// focus on Enter and Escape the way the entry form does.
#include "widgets/Beep.h"
#include "widgets/MaskedEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace kordane;

namespace {

class FieldWindow : public QWidget {
public:
    FieldWindow()
    {
        auto* layout = new QVBoxLayout(this);
        date->setEditMask(QStringLiteral("!0000/99/99;1;_"));
        onDuty->setEditMask(QStringLiteral("!99:99:99;1;_"));
        grey->setGrey(true);
        for (LineEdit* field : fields()) {
            layout->addWidget(field);
            connect(field, &LineEdit::keyDown, this, [this, field](int key, Qt::KeyboardModifiers) {
                if (key == Qt::Key_Return || key == Qt::Key_Enter)
                    step(field, 1);
                else if (key == Qt::Key_Escape)
                    step(field, -1);
            });
        }
        layout->addWidget(grey);
    }
    QList<LineEdit*> fields() const { return {date, code, onDuty}; }

    MaskedEdit* date = new MaskedEdit(this);
    LineEdit* code = new LineEdit(this);
    MaskedEdit* onDuty = new MaskedEdit(this);
    LineEdit* grey = new LineEdit(this);

private:
    void step(LineEdit* from, int direction)
    {
        const QList<LineEdit*> list = fields();
        const qsizetype next = (list.indexOf(from) + direction + list.size()) % list.size();
        list[next]->setFocus(direction > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    }
};

// Keys go where a real key would go: to the widget holding the focus.
void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), mods);
}

void type(const QString& text)
{
    QTest::keyClicks(QApplication::focusWidget(), text);
}

} // namespace

class TestMaskedEdit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void typingOneDigitRuns();
    void refusedCharactersBeep();
    void typingCompleteDateOverSelection();
    void keyDownComesFirst();
    void clearingKeys();
    void navigationAndShiftSelection();
    void pasteAndCut();
    void escapeRestoresBeforeLeaving();
    void incompleteYearStaysWithOneError_data();
    void incompleteYearStaysWithOneError();
    void mousePressOnOtherFieldIsEaten_data();
    void mousePressOnOtherFieldIsEaten();
    void unchangedBlankDatePasses();
    void partlyFilledTimePasses();
    void assignedTextAndEarlierText();
    void mouseEntryKeepsClickedPosition();
    void greyField();

private:
    void enterDate();
    FieldWindow* w = nullptr;
};

void TestMaskedEdit::init()
{
    w = new FieldWindow;
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w));
}

void TestMaskedEdit::cleanup()
{
    delete w;
    w = nullptr;
}

void TestMaskedEdit::enterDate()
{
    w->onDuty->setFocus(Qt::OtherFocusReason);
    key(Qt::Key_Tab); // wraps round to the date field, by keyboard
    QCOMPARE(QApplication::focusWidget(), w->date);
}

void TestMaskedEdit::typingOneDigitRuns()
{
    enterDate();
    QCOMPARE(w->date->selectedText(), QStringLiteral("____/__/__"));
    const int beeps = beepCount();
    type(QStringLiteral("20261/5"));
    QCOMPARE(w->date->text(), QStringLiteral("2026/1_/5_"));
    QCOMPARE(w->date->fieldText(), QStringLiteral("2026/1 /5 "));
    QCOMPARE(beepCount(), beeps);
    QVERIFY(w->date->isModifiedMark());
}

void TestMaskedEdit::refusedCharactersBeep()
{
    w->date->assignText(QStringLiteral("2026/12/07"));
    enterDate();
    key(Qt::Key_Home);
    const int beeps = beepCount();
    type(QStringLiteral("a:-"));
    QCOMPARE(beepCount(), beeps + 3);
    QCOMPARE(w->date->text(), QStringLiteral("2026/12/07"));
    QVERIFY(!w->date->isModifiedMark());

    w->onDuty->setFocus(Qt::TabFocusReason);
    type(QStringLiteral("x/"));
    QCOMPARE(beepCount(), beeps + 5);
    QCOMPARE(w->onDuty->text(), QStringLiteral("__:__:__"));
}

void TestMaskedEdit::typingCompleteDateOverSelection()
{
    w->date->assignText(QStringLiteral("1999/09/09"));
    enterDate();
    type(QStringLiteral("2026/12/07"));
    QCOMPARE(w->date->text(), QStringLiteral("2026/12/07"));
    // Past the end nothing more goes in.
    const int beeps = beepCount();
    type(QStringLiteral("1"));
    QCOMPARE(beepCount(), beeps + 1);
}

void TestMaskedEdit::keyDownComesFirst()
{
    enterDate();
    QString seen;
    connect(w->date, &LineEdit::keyDown, this, [&] { seen = w->date->text(); });
    type(QStringLiteral("2"));
    QCOMPARE(seen, QStringLiteral("____/__/__"));
    QCOMPARE(w->date->text(), QStringLiteral("2___/__/__"));
}

void TestMaskedEdit::clearingKeys()
{
    w->date->assignText(QStringLiteral("2026/12/07"));
    enterDate();
    key(Qt::Key_End);
    key(Qt::Key_Backspace); // clears the position before the caret
    QCOMPARE(w->date->text(), QStringLiteral("2026/12/_7"));
    key(Qt::Key_Backspace); // skips the separator
    QCOMPARE(w->date->text(), QStringLiteral("2026/1_/_7"));
    key(Qt::Key_Home);
    key(Qt::Key_Delete); // clears at the caret, which stays
    QCOMPARE(w->date->text(), QStringLiteral("_026/1_/_7"));
    QCOMPARE(w->date->selectionStart(), 0);
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    key(Qt::Key_End, Qt::ShiftModifier);
    key(Qt::Key_Delete); // a selection: its digits go, separators stay
    QCOMPARE(w->date->text(), QStringLiteral("_0__/__/__"));
    QCOMPARE(w->date->fieldText(), QStringLiteral(" 0  /  /  "));
    QVERIFY(w->date->isModifiedMark());
}

void TestMaskedEdit::navigationAndShiftSelection()
{
    w->date->assignText(QStringLiteral("2026/12/07"));
    enterDate();
    key(Qt::Key_Home);
    for (int i = 0; i < 4; ++i)
        key(Qt::Key_Right);
    QCOMPARE(w->date->selectionStart(), 5); // the separator was skipped
    QCOMPARE(w->date->selectedText(), QStringLiteral("1"));
    key(Qt::Key_Up);
    key(Qt::Key_Down);
    QCOMPARE(w->date->selectionStart(), 5);
    key(Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(w->date->selectedText(), QStringLiteral("12"));
    type(QStringLiteral("3")); // typing over a selection clears it first
    QCOMPARE(w->date->text(), QStringLiteral("2026/3_/07"));
    QCOMPARE(w->date->selectionStart(), 6);
    key(Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(w->date->selectedText(), QStringLiteral("2026/3_"));
    key(Qt::Key_Left);
    QCOMPARE(w->date->selectionStart(), 0);
    QCOMPARE(w->date->selectedText(), QStringLiteral("2"));
}

void TestMaskedEdit::pasteAndCut()
{
    enterDate();
    QGuiApplication::clipboard()->setText(QStringLiteral("20261207"));
    key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w->date->text(), QStringLiteral("2026/12/07"));
    QVERIFY(w->date->isModifiedMark());

    key(Qt::Key_Home);
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("20"));
    QCOMPARE(w->date->text(), QStringLiteral("__26/12/07"));

    const int beeps = beepCount();
    key(Qt::Key_End);
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    key(Qt::Key_V, Qt::ControlModifier); // refused: the position is left unfilled
    QCOMPARE(w->date->text(), QStringLiteral("__26/12/0_"));
    QCOMPARE(beepCount(), beeps + 1);
}

void TestMaskedEdit::escapeRestoresBeforeLeaving()
{
    w->date->assignText(QStringLiteral("2026/12/07"));
    enterDate();
    QString leftWith;
    connect(w->date, &LineEdit::exited, this, [&] { leftWith = w->date->fieldText(); });
    type(QStringLiteral("1999"));
    key(Qt::Key_Escape);
    QCOMPARE(leftWith, QStringLiteral("2026/12/07"));
    QCOMPARE(w->date->text(), QStringLiteral("2026/12/07"));
    QVERIFY(!w->date->isModifiedMark());
    QCOMPARE(QApplication::focusWidget(), w->onDuty);

    // In a time field the same, and the next field entered by keyboard is all selected.
    type(QStringLiteral("0815"));
    key(Qt::Key_Escape);
    QCOMPARE(w->onDuty->text(), QStringLiteral("__:__:__"));
    QCOMPARE(QApplication::focusWidget(), w->code);
}

void TestMaskedEdit::incompleteYearStaysWithOneError_data()
{
    QTest::addColumn<int>("leaveKey");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Tab") << int(Qt::Key_Tab);
}

void TestMaskedEdit::incompleteYearStaysWithOneError()
{
    QFETCH(int, leaveKey);
    w->date->assignText(QStringLiteral("2026/12/07"));
    enterDate();
    QSignalSpy errors(w->date, &MaskedEdit::maskError);
    QSignalSpy exits(w->date, &LineEdit::exited);
    QSignalSpy codeExits(w->code, &LineEdit::exited);
    type(QStringLiteral("20")); // the whole text was selected: the rest is cleared
    const int beeps = beepCount();
    key(leaveKey);
    QCOMPARE(QApplication::focusWidget(), w->date);
    QCOMPARE(w->date->selectionStart(), 2);
    QCOMPARE(w->date->selectedText(), QStringLiteral("_"));
    QCOMPARE(beepCount(), beeps + 1);
    QTRY_COMPARE(errors.count(), 1);
    QTest::qWait(20);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(exits.count(), 0);
    QCOMPARE(codeExits.count(), 0); // the field the focus touched on its way was never entered
    QCOMPARE(w->date->text(), QStringLiteral("20__/__/__"));
    QVERIFY(w->date->isModifiedMark());
    QCOMPARE(w->date->earlierText(), QStringLiteral("2026/12/07"));

    // Finishing the year lets the field go.
    type(QStringLiteral("26"));
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w->code);
    QCOMPARE(exits.count(), 1);
    QCOMPARE(errors.count(), 1);
}

void TestMaskedEdit::mousePressOnOtherFieldIsEaten_data()
{
    QTest::addColumn<bool>("throughWindow");
    QTest::newRow("to the widget") << false; // the focus moves before the press is seen
    QTest::newRow("through the window") << true; // as the window system delivers it
}

void TestMaskedEdit::mousePressOnOtherFieldIsEaten()
{
    QFETCH(bool, throughWindow);
    enterDate();
    key(Qt::Key_Delete); // whole text selected: emptied
    QSignalSpy errors(w->date, &MaskedEdit::maskError);
    QSignalSpy codeExits(w->code, &LineEdit::exited);
    if (throughWindow)
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, w->code->mapTo(w, w->code->rect().center()));
    else
        QTest::mouseClick(w->code, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), w->date);
    QCOMPARE(w->date->selectionStart(), 0);
    QTRY_COMPARE(errors.count(), 1);
    QTest::qWait(20);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(codeExits.count(), 0);
    QVERIFY(!w->date->checkMaskOnLeave());
    QTRY_COMPARE(errors.count(), 2);

    // Escape abandons the typing; the field may then be left.
    key(Qt::Key_Escape);
    QCOMPARE(QApplication::focusWidget(), w->onDuty);
    QCOMPARE(w->date->text(), QStringLiteral("____/__/__"));
}

void TestMaskedEdit::unchangedBlankDatePasses()
{
    enterDate();
    QSignalSpy errors(w->date, &MaskedEdit::maskError);
    QSignalSpy exits(w->date, &LineEdit::exited);
    QVERIFY(w->date->checkMaskOnLeave());
    key(Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), w->code);
    QCOMPARE(exits.count(), 1);
    QTest::qWait(20);
    QCOMPARE(errors.count(), 0);
}

void TestMaskedEdit::partlyFilledTimePasses()
{
    QSignalSpy exits(w->onDuty, &LineEdit::exited);
    w->onDuty->setFocus(Qt::TabFocusReason);
    type(QStringLiteral("8"));
    key(Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), w->date);
    QCOMPARE(exits.count(), 1);
    QCOMPARE(w->onDuty->fieldText(), QStringLiteral("8 :  :  "));
}

void TestMaskedEdit::assignedTextAndEarlierText()
{
    w->onDuty->assignText(QStringLiteral("8:00:00"));
    QCOMPARE(w->onDuty->text(), QStringLiteral("_8:00:00"));
    QCOMPARE(w->onDuty->fieldText(), QStringLiteral(" 8:00:00"));
    QCOMPARE(w->onDuty->earlierText(), QStringLiteral("_8:00:00"));
    QVERIFY(!w->onDuty->isModifiedMark());

    // Gaining the focus takes the shown text as the earlier one.
    w->onDuty->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Home);
    type(QStringLiteral("09"));
    QCOMPARE(w->onDuty->text(), QStringLiteral("09:00:00"));
    key(Qt::Key_Tab);
    w->onDuty->setFocus(Qt::TabFocusReason);
    QCOMPARE(w->onDuty->earlierText(), QStringLiteral("09:00:00"));
}

void TestMaskedEdit::mouseEntryKeepsClickedPosition()
{
    w->date->assignText(QStringLiteral("2026/12/07"));
    w->code->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(w->date, Qt::LeftButton, {}, QPoint(2, w->date->height() / 2));
    QCOMPARE(QApplication::focusWidget(), w->date);
    QCOMPARE(w->date->selectedText().size(), 1);
}

void TestMaskedEdit::greyField()
{
    QVERIFY(w->grey->isReadOnly());
    QCOMPARE(w->grey->palette().color(QPalette::Base), QColor(192, 192, 192));
    QCOMPARE(w->grey->focusPolicy(), Qt::ClickFocus);
    w->grey->setText(QStringLiteral("四"));
    QTest::mouseClick(w->grey, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), w->grey);
    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("四"));
}

QTEST_MAIN(TestMaskedEdit)
#include "tst_maskededit.moc"
