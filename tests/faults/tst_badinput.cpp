// Hostile employee codes through the real window into an embedded database: each one is
// either stored byte for byte, found again by the lookup and removed by the delete, or
// refused with an error naming the problem; no other row is ever touched.
#include "data/resultset/ClientDataSet.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/WindowFixture.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QApplication>
#include <QClipboard>
#include <QStringEncoder>
#include <QTest>

using namespace kordane;
using namespace kordane::test;

namespace {

const QString day = QStringLiteral("2026/12/07");
const QString timeIn = QStringLiteral("08:00:00");
const QString timeOut = QStringLiteral("17:00:00");

// How the text gets into the field. Typed is key by key; control characters and
// direction marks have no key, so they come in by a paste, or by setText where even
// the paste would not carry them.
enum class Input { Typed,
                   Pasted,
                   Set };

void enter(LineEdit* edit, const QString& text, Input how)
{
    edit->setFocus(Qt::TabFocusReason);
    switch (how) {
    case Input::Typed:
        // keyClicks knows only Latin-1 keys; a Chinese character comes as a key event
        // carrying its text, as an input method sends it.
        for (const QChar c : text) {
            const Qt::Key key = c.unicode() < 0x80 ? QTest::asciiToKey(char(c.unicode())) : Qt::Key_unknown;
            QTest::sendKeyEvent(QTest::Click, edit, key, QString(c), Qt::NoModifier);
        }
        break;
    case Input::Pasted:
        QApplication::clipboard()->setText(text);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        break;
    case Input::Set:
        edit->setText(text);
        break;
    }
}

void click(SpeedButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

std::string big5(const QString& text)
{
    QStringEncoder encoder("windows-950");
    const QByteArray bytes = encoder.encode(text);
    return bytes.toStdString();
}

// The seeded rows share the date and both times with every entry, so a statement that
// matched more than it should would hit them.
void seed(WindowFixture& f)
{
    f.db().raw().execute({
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', 'A', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E2', '2026/12/07', '08:00:00', '17:00:00', 'B', 'Bob', 'C2')",
    });
}

// The seeded rows, in order, every byte of every column.
std::string seededRows(WindowFixture& f)
{
    std::string all;
    for (const auto& row : f.db().raw().query(
             "SELECT * FROM POS_DAY WHERE CARD_ID IN ('C1', 'C2') ORDER BY CARD_ID")) {
        for (const auto& value : row)
            all += value.value_or("<null>") + '\x1f';
        all += '\x1e';
    }
    return all;
}

std::string count(WindowFixture& f)
{
    return f.db().scalar("SELECT COUNT(*) FROM POS_DAY").value_or("null");
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT
private slots:
    void code_data();
    void code();
};

void TestBadInput::code_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("how");
    // Empty: stored. Else a word the error must hold, or the warning that refused it.
    QTest::addColumn<QString>("problem");

    const auto typed = int(Input::Typed);
    // A character outside the basic plane arrives as two key events of one half each,
    // which a line edit drops; so the emoji is pasted too.
    const auto pasted = int(Input::Pasted);
    const QString duplicate = QStringLiteral("修改功能無效..!");
    QTest::newRow("single quotes") << QStringLiteral("O'Neil' OR ''='") << typed << QString();
    QTest::newRow("double quotes") << QStringLiteral("\"E1\" \"") << typed << QString();
    QTest::newRow("backslash") << QStringLiteral("E1\\'\\") << typed << QString();
    QTest::newRow("format specifiers") << QStringLiteral("%s%d%n%1%%") << typed << QString();
    QTest::newRow("Chinese") << QStringLiteral("陳大文") << typed << QString();
    QTest::newRow("blanks") << QStringLiteral("   ") << typed << QString();
    // Text comparison pads with blanks, so this is E1's record to the duplicate check.
    QTest::newRow("trailing blank") << QStringLiteral("E1 ") << typed << duplicate;
    // Passes the duplicate check and the question; the insert's parameter is refused.
    QTest::newRow("10,000 characters") << QString(10000, u'7') << typed << QStringLiteral("Invalid Length");
    QTest::newRow("e acute") << QStringLiteral("Caf\u00e9") << typed << QStringLiteral("U+00E9");
    QTest::newRow("emoji") << QStringLiteral("E\U0001F600") << pasted << QStringLiteral("U+1F600");
    QTest::newRow("right-to-left marks") << QStringLiteral("\u200FE1\u200E") << pasted << QStringLiteral("U+200F");
    QTest::newRow("tab, SOH, DEL") << QStringLiteral("A\tB\x01"
                                                     "C\x7f")
                                   << pasted << QString();
    QTest::newRow("line break") << QStringLiteral("E1\r\nE2") << pasted << QString();
    QTest::newRow("NUL inside") << QStringLiteral("E1") + QChar(u'\0') + QStringLiteral("X") << int(Input::Set)
                                << QString();
}

void TestBadInput::code()
{
    QFETCH(QString, code);
    QFETCH(int, how);
    QFETCH(QString, problem);
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    const std::string seeded = seededRows(f);
    const std::string rowsBefore = count(f);

    w.MaskEdit1->assignText(day);
    w.MaskEdit2->assignText(timeIn);
    w.MaskEdit3->assignText(timeOut);
    w.Edit5->setText(QStringLiteral("Entry"));
    w.Edit6->setText(QStringLiteral("C9"));
    enter(w.Edit1, code, Input(how));
    QCOMPARE(w.Edit1->text(), code);
    const bool warned = problem.endsWith(u"..!");
    {
        DialogAnswers answers({warned ? QStringLiteral("Enter") : QStringLiteral("Y")});
        click(w.SpeedButton3);
        if (warned || problem.isEmpty())
            QCOMPARE(answers.texts().value(0), warned ? problem : QStringLiteral("確定要新增資料?"));
    }
    f.reactivate();
    if (!problem.isEmpty()) {
        QCOMPARE(f.errors().size(), warned ? 0 : 1);
        if (!warned)
            QVERIFY2(f.errors().first().contains(problem), qPrintable(f.errors().first()));
        QCOMPARE(count(f), rowsBefore);
        QCOMPARE(seededRows(f), seeded);
        return;
    }
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(f.db().scalar("SELECT EMPLOYEE_ID FROM POS_DAY WHERE CARD_ID = 'C9'"),
             std::optional<std::string>(big5(code)));
    QCOMPARE(seededRows(f), seeded);

    // The lookup finds the entry's own record, not a seeded one.
    w.MaskEdit2->assignText(QString());
    w.MaskEdit3->assignText(QString());
    w.Edit5->clear();
    w.Edit1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.Edit1, Qt::Key_Tab);
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(w.ClientDataSet1.recordCount(), 1);
    QCOMPARE(w.Edit6->text(), QStringLiteral("C9"));
    QCOMPARE(w.MaskEdit2->fieldText(), timeIn);
    QCOMPARE(w.MaskEdit3->fieldText(), timeOut);

    // The delete removes it and nothing else.
    {
        DialogAnswers answers({QStringLiteral("Y"), QStringLiteral("N")});
        click(w.SpeedButton4);
        QCOMPARE(answers.texts().size(), 2);
    }
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(count(f), rowsBefore);
    QCOMPARE(seededRows(f), seeded);
}

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
