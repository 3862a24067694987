#include "tests/support/FieldEntry.h"

#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QTest>

namespace kordane::test {

void fill(TFormKordane& w, const QString& date, const QString& code, const QString& in, const QString& out)
{
    w.MaskEdit1->assignText(date);
    w.Edit1->setText(code);
    w.MaskEdit2->assignText(in);
    w.MaskEdit3->assignText(out);
}

void click(SpeedButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

} // namespace kordane::test
