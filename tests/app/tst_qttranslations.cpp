// Qt's own texts in Traditional Chinese: which locales load them, the words of the masked
// field's menu beside a plain field's, and the program's own dialogs left in English.
#include "app/QtTranslations.h"
#include "widgets/MaskedEdit.h"
#include "widgets/MessageDialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <memory>

using namespace kordane;

namespace {

QStringList texts(const QMenu* menu)
{
    QStringList list;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator())
            list << action->text();
    return list;
}

// The plain field's standard menu.
QStringList plainMenu()
{
    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    return texts(menu.get());
}

// The masked field's menu, as a right click opens it.
QStringList maskMenu()
{
    MaskedEdit edit;
    edit.setEditMask(QStringLiteral("!99:99:99;1;_"));
    edit.show();
    QStringList shown;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            shown = texts(menu);
            menu->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), edit.mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(&edit, &event);
    return shown;
}

} // namespace

class TestQtTranslations : public QObject {
    Q_OBJECT
private slots:
    void onlyTraditionalChineseLoads_data();
    void onlyTraditionalChineseLoads();
    void maskMenuSpeaksAsThePlainFields();
    void ownDialogsKeepTheirWords();
};

void TestQtTranslations::onlyTraditionalChineseLoads_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("loads");
    QTest::newRow("Taiwan") << "zh_TW" << true;
    QTest::newRow("Hong Kong") << "zh_HK" << true;
    QTest::newRow("Macao") << "zh_MO" << true;
    QTest::newRow("Traditional script") << "zh_Hant" << true;
    QTest::newRow("Simplified") << "zh_CN" << false;
    QTest::newRow("Singapore") << "zh_SG" << false;
    QTest::newRow("English") << "en_US" << false;
    QTest::newRow("C") << "C" << false;
}

void TestQtTranslations::onlyTraditionalChineseLoads()
{
    QFETCH(QString, locale);
    QFETCH(bool, loads);
    const std::unique_ptr<QTranslator> translator(installQtTranslations(QLocale(locale)));
    QCOMPARE(bool(translator), loads);
    QCOMPARE(plainMenu().contains(QStringLiteral("全部選擇\tCtrl+A")), loads);
}

void TestQtTranslations::maskMenuSpeaksAsThePlainFields()
{
    const QStringList english = maskMenu();
    QCOMPARE(english.size(), 4);
    QVERIFY(english.first().startsWith(QStringLiteral("Cu&t")));
    const std::unique_ptr<QTranslator> translator(installQtTranslations(QLocale(QStringLiteral("zh_TW"))));
    QVERIFY(translator);
    const QStringList chinese = maskMenu();
    QCOMPARE(chinese, (QStringList {QStringLiteral("剪下(&T)\tCtrl+X"), QStringLiteral("複製(&C)\tCtrl+C"), QStringLiteral("貼上(&P)\tCtrl+V"), QStringLiteral("全部選擇\tCtrl+A")}));
    const QStringList plain = plainMenu();
    for (const QString& text : chinese)
        QVERIFY2(plain.contains(text), qPrintable(text));
}

void TestQtTranslations::ownDialogsKeepTheirWords()
{
    const std::unique_ptr<QTranslator> translator(installQtTranslations(QLocale(QStringLiteral("zh_TW"))));
    QVERIFY(translator);
    const MessageDialog dialog(MessageDialog::Kind::Confirmation, QStringLiteral("確定要新增資料?"),
                               MessageDialog::Yes | MessageDialog::No | MessageDialog::Ok | MessageDialog::Cancel);
    QStringList captions;
    for (const QPushButton* button : dialog.buttons())
        captions << button->text();
    QCOMPARE(captions, (QStringList {QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("OK"), QStringLiteral("Cancel")}));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Confirm"));
}

QTEST_MAIN(TestQtTranslations)
#include "tst_qttranslations.moc"
