#include "tools/sheet/TextTable.h"

#include <algorithm>

namespace kordane::report {
namespace {

// The East Asian Width classes W and F: Hangul Jamo, CJK and its punctuation, kana,
// Hangul syllables, compatibility ideographs, fullwidth forms, the supplementary ideographs.
bool wide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF)
        || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF)
        || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F)
        || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

bool zeroWidth(char32_t c)
{
    const auto category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing || category == QChar::Other_Format;
}

// Control characters would move the cursor; a cell shows them as U+FFFD would not tell
// which, so as a visible escape.
QString visible(const QString& cell)
{
    QString text;
    for (const QChar c : cell) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            text += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            text += c;
    }
    return text;
}

void pad(QString& line, const QString& cell, int width, bool right)
{
    const QString fill(std::max(0, width - displayWidth(cell)), u' ');
    line += right ? fill + cell : cell + fill;
}

} // namespace

int displayWidth(QStringView text)
{
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        width += wide(c) ? 2 : zeroWidth(c) ? 0
                                            : 1;
    }
    return width;
}

QString textTable(const Table& table)
{
    std::vector<QStringList> rows;
    rows.reserve(table.rows.size() + 1);
    rows.push_back(table.headers);
    for (const QStringList& row : table.rows) {
        QStringList cells;
        for (const QString& cell : row)
            cells << visible(cell);
        rows.push_back(cells);
    }
    std::vector<int> widths(static_cast<std::size_t>(table.headers.size()), 0);
    for (const QStringList& row : rows) {
        for (qsizetype c = 0; c < row.size() && c < table.headers.size(); ++c)
            widths[static_cast<std::size_t>(c)] = std::max(widths[static_cast<std::size_t>(c)], displayWidth(row[c]));
    }

    QString out = table.title + u'\n';
    const auto line = [&](const QStringList& row) {
        QString text;
        for (qsizetype c = 0; c < table.headers.size(); ++c) {
            const auto i = static_cast<std::size_t>(c);
            if (c > 0)
                text += QStringLiteral("  ");
            const bool right = i < table.rightAligned.size() && table.rightAligned[i];
            pad(text, c < row.size() ? row[c] : QString(), widths[i], right);
        }
        // Trailing blanks of the last column are noise in a terminal and in a diff.
        while (text.endsWith(u' '))
            text.chop(1);
        out += text + u'\n';
    };
    line(rows.front());
    QStringList rules;
    for (const int w : widths)
        rules << QString(w, u'-');
    out += rules.join(QStringLiteral("  ")) + u'\n';
    for (std::size_t r = 1; r < rows.size(); ++r)
        line(rows[r]);
    for (const QString& note : table.notes)
        out += note + u'\n';
    return out;
}

} // namespace kordane::report
