// Characters that stand for stored bytes, pasted into the real window: one whose pair
// would end in a quote, a backslash or a NUL must never reach a statement as that byte.
// Either the text is refused by name before anything runs, or it is stored, found,
// changed and deleted as exactly its bytes; no other row is ever touched.
#include "data/resultset/ClientDataSet.h"
#include "data/sql/TextCodec.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/WindowFixture.h"
#include "tests/tools/ReportFixture.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

using namespace kordane;
using namespace kordane::test;

namespace {

const QString day = QStringLiteral("2026/12/07");
const QString timeIn = QStringLiteral("08:00:00");
const QString timeOut = QStringLiteral("17:00:00");
const QString attack = QStringLiteral(" OR 1=1 OR 1=1--");

// The character that would write `lead` and `trail`.
QString standIn(int lead, int trail)
{
    const char32_t code = 0xF0000 + char32_t(lead << 8 | trail);
    return QString::fromUcs4(&code, 1);
}

// Whether the code page has those bytes as a pair of a text read back: a lead byte and
// a trail byte.
bool isPair(int lead, int trail)
{
    return lead >= 0x81 && lead <= 0xFE && ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA1 && trail <= 0xFE));
}

void seed(WindowFixture& f)
{
    f.db().raw().execute({
        "INSERT INTO EMPLOYEE VALUES ('E1', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', 'A', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E2', '2026/12/07', '08:00:00', '17:00:00', 'A', 'Bob', 'C2')",
    });
}

std::string rows(WindowFixture& f)
{
    std::string all;
    for (const auto& row : f.db().raw().query("SELECT * FROM POS_DAY ORDER BY EMPLOYEE_ID, TIME_IN")) {
        for (const auto& value : row)
            all += value.value_or("<null>") + '\x1f';
        all += '\x1e';
    }
    return all;
}

void paste(QWidget* edit, const QString& text)
{
    edit->setFocus(Qt::TabFocusReason);
    QApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

// The four commands that put the code into a statement, each answered Yes where it asks.
void runEveryCommand(WindowFixture& f, TFormKordane& w)
{
    w.Edit1->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Tab); // the lookup
    f.reactivate();
    w.MaskEdit2->assignText(timeIn);
    w.MaskEdit3->assignText(timeOut);
    for (const Qt::Key key : {Qt::Key_F7, Qt::Key_F6, Qt::Key_F8}) {
        DialogAnswers answers({QStringLiteral("Y"), QStringLiteral("N")});
        w.Edit1->setFocus(Qt::TabFocusReason);
        press(key);
        f.reactivate();
    }
}

} // namespace

class TestPastedBytes : public QObject {
    Q_OBJECT
private slots:
    void noStandInEndsALiteral();
    void aStoredPairIsFoundExactly();
    void maskedFieldsTakeNone();
    void reportRefusesThem();
};

// Every lead byte before each of the three trail bytes, followed by what would turn the
// statement's condition true: refused by name where the pair is none of the code page's,
// with the rows as they were.
void TestPastedBytes::noStandInEndsALiteral()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    w.MaskEdit1->assignText(day);
    const std::string before = rows(f);
    for (const int trail : {0x27, 0x00}) {
        for (int lead = 0x01; lead <= 0xFE; ++lead) {
            const QString code = standIn(lead, trail);
            f.clearErrors();
            paste(w.Edit1, code + attack);
            QCOMPARE(w.Edit1->text(), code + attack);
            runEveryCommand(f, w);
            // Lookup, add and the delete's statement refused; modify asks and is refused too.
            const QString name = QStringLiteral("U+%1").arg(0xF0000 + (lead << 8 | trail), 0, 16).toUpper();
            QVERIFY2(f.errors().size() == 4, qPrintable(name + u' ' + f.errors().join(u'\n')));
            for (const QString& error : f.errors())
                QVERIFY2(error.contains(u"cannot be represented"), qPrintable(error));
            QVERIFY2(rows(f) == before, qPrintable(name));
        }
    }
}

// A pair whose trail byte is a backslash's, as a stored record may hold it: each of the
// code's commands finds exactly that record, in the code, the name and the card.
void TestPastedBytes::aStoredPairIsFoundExactly()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    w.MaskEdit1->assignText(day);
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        if (!isPair(lead, 0x5C))
            continue;
        const QString code = standIn(lead, 0x5C);
        const std::string bytes {char(lead), '\x5C'};
        const std::string before = rows(f);
        f.clearErrors();
        paste(w.Edit1, code + attack);
        w.Edit5->setText(code + attack);
        w.Edit6->setText(code);
        w.MaskEdit2->assignText(timeIn);
        w.MaskEdit3->assignText(timeOut);
        {
            DialogAnswers answers({QStringLiteral("Y")});
            w.Edit1->setFocus(Qt::TabFocusReason);
            press(Qt::Key_F7);
        }
        f.reactivate();
        QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
        const std::string stored = bytes + attack.toStdString();
        QCOMPARE(f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE CARD_ID = '" + bytes + "' AND EMPLOYEE_NAME = '" + stored + "'"),
                 std::optional<std::string>("1"));

        // Looked up again from blank times: its own record, nobody else's.
        w.MaskEdit2->assignText(QString());
        w.MaskEdit3->assignText(QString());
        w.Edit1->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Tab);
        f.reactivate();
        QCOMPARE(w.ClientDataSet1.recordCount(), 1);
        QCOMPARE(w.Edit6->text(), TextCodec(QString()).decode(bytes.data(), bytes.size()));
        QCOMPARE(w.MaskEdit2->fieldText(), timeIn);

        // Modified to other times, then deleted: the seeded rows stay.
        w.MaskEdit2->assignText(timeIn);
        w.MaskEdit3->assignText(timeOut);
        {
            DialogAnswers answers({QStringLiteral("Y"), QStringLiteral("N")});
            w.Edit1->setFocus(Qt::TabFocusReason);
            press(Qt::Key_F6);
        }
        f.reactivate();
        {
            DialogAnswers answers({QStringLiteral("Y"), QStringLiteral("N")});
            w.Edit1->setFocus(Qt::TabFocusReason);
            press(Qt::Key_F8);
        }
        f.reactivate();
        QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
        QCOMPARE(rows(f), before);
    }
}

// The date and the times are masked: a pasted stand-in never gets in, so the view's and
// the commands' texts stay those of the mask.
void TestPastedBytes::maskedFieldsTakeNone()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    for (MaskedEdit* edit : {w.MaskEdit1, w.MaskEdit2, w.MaskEdit3}) {
        edit->assignText(QString());
        const QString empty = edit->fieldText();
        for (const int trail : {0x27, 0x5C, 0x00}) {
            paste(edit, standIn(0x81, trail) + attack);
            QVERIFY2(!edit->fieldText().contains(standIn(0x81, trail)), qPrintable(edit->fieldText()));
            QVERIFY(!edit->fieldText().contains(u'\''));
            edit->assignText(QString());
            QCOMPARE(edit->fieldText(), empty);
        }
    }
}

// The report's one field: the employee code of the month.
void TestPastedBytes::reportRefusesThem()
{
    WindowFixture f;
    seed(f);
    f.db().release();
    for (const int trail : {0x27, 0x00}) {
        for (const int lead : {0x01, 0x27, 0x81, 0xA4, 0xFE}) {
            const ReportRun run = runReport(f.db(), {QStringLiteral("month"), QStringLiteral("2026/12"), QStringLiteral("--employee"), standIn(lead, trail) + attack});
            QVERIFY2(run.exitCode == 1, qPrintable(run.err));
            QVERIFY2(run.err.contains(u"cannot be represented"), qPrintable(run.err));
            QVERIFY2(!run.out.contains("E2"), run.out.constData());
        }
    }
}

QTEST_MAIN(TestPastedBytes)
#include "tst_pastedbytes.moc"
