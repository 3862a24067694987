// Arbitrary masks, assigned texts and editing steps: the model keeps its shape.
#include "widgets/EditMask.h"

#include <cstdint>
#include <cstdlib>

using kordane::EditMask;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Separators in place and the shown text as long as the mask.
void checkShape(const EditMask& m, const QString& literals)
{
    const QString shown = m.shownText();
    require(shown.size() == m.length());
    for (int p = 0; p < m.length(); ++p) {
        if (!m.isDigitPosition(p))
            require(shown[p] == literals[p]);
    }
    require(m.fieldText().size() <= m.length());
    const int unfilled = m.firstUnfilledRequired();
    require(unfilled < 0 || m.isRequiredPosition(unfilled));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const QChar dateSep = QChar(char16_t(data[0]));
    const QChar timeSep = QChar(char16_t(data[1]));
    const QByteArray rest(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    const qsizetype cut = rest.indexOf('\n');
    const QString mask = QString::fromUtf8(rest.left(cut < 0 ? rest.size() : cut));
    const QByteArray tail = cut < 0 ? QByteArray() : rest.mid(cut + 1);
    const qsizetype cut2 = tail.indexOf('\n');
    const QString assigned = QString::fromUtf8(tail.left(cut2 < 0 ? tail.size() : cut2));
    const QByteArray ops = cut2 < 0 ? QByteArray() : tail.mid(cut2 + 1);

    EditMask m(mask, dateSep, timeSep);
    const QString literals = m.shownText();
    m.assign(assigned);
    checkShape(m, literals);

    // The shown text fits back onto itself unless the blank character or a space is
    // also a separator, which makes the text ambiguous.
    if (m.keepsSeparators() && !m.isSeparatorChar(m.blankChar()) && !m.isSeparatorChar(QLatin1Char(' '))) {
        EditMask again(mask, dateSep, timeSep);
        again.assign(m.shownText());
        require(again == m);
    }

    int caret = 0;
    for (qsizetype i = 0; i + 1 < ops.size(); i += 2) {
        const auto arg = uint8_t(ops[i + 1]);
        switch (uint8_t(ops[i]) % 4) {
        case 0: {
            const int next = m.type(caret, QChar(char16_t(arg)));
            require(next == -1 || (next >= 0 && next <= m.length()));
            if (next >= 0)
                caret = next;
            break;
        }
        case 1:
            caret = m.paste(caret, QString::fromUtf8(ops.mid(i + 1, arg % 16)), nullptr);
            require(caret >= 0 && caret <= m.length());
            i += arg % 16;
            break;
        case 2:
            m.clear(arg % 32 - 8, arg / 8);
            break;
        default:
            caret = arg % 40 - 10;
            require(m.nextDigit(caret) < m.length() && m.previousDigit(caret) < m.length());
            break;
        }
        checkShape(m, literals);
    }
    return 0;
}
