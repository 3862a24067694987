#include "widgets/EditMask.h"

#include <algorithm>

namespace kordane {

namespace {
const QChar Space = QLatin1Char(' ');
}

EditMask::EditMask(const QString& mask, QChar dateSeparator, QChar timeSeparator)
{
    qsizetype i = 0;
    const auto literal = [this](QChar c) {
        kinds_.append(Kind::Literal);
        text_.append(c);
    };
    for (; i < mask.size() && mask[i] != QLatin1Char(';'); ++i) {
        const QChar c = mask[i];
        if (c == QLatin1Char('\\') && i + 1 < mask.size()) {
            literal(mask[++i]);
        } else if (c == QLatin1Char('!')) {
            rightAligned_ = true;
        } else if (c == QLatin1Char('0') || c == QLatin1Char('9')) {
            kinds_.append(c == QLatin1Char('0') ? Kind::Required : Kind::Optional);
            text_.append(Space);
        } else if (c == QLatin1Char('/')) {
            literal(dateSeparator);
        } else if (c == QLatin1Char(':')) {
            literal(timeSeparator);
        } else {
            literal(c);
        }
    }
    const QStringList sections = mask.mid(i + 1).split(QLatin1Char(';'));
    if (i < mask.size() && !sections[0].isEmpty())
        keepSeparators_ = sections[0][0] != QLatin1Char('0');
    if (sections.size() > 1 && !sections[1].isEmpty())
        blank_ = sections[1][0];
}

bool EditMask::isDigitPosition(int pos) const
{
    return pos >= 0 && pos < length() && kinds_[pos] != Kind::Literal;
}

bool EditMask::isRequiredPosition(int pos) const
{
    return pos >= 0 && pos < length() && kinds_[pos] == Kind::Required;
}

bool EditMask::isSeparatorChar(QChar c) const
{
    for (int p = 0; p < length(); ++p) {
        if (kinds_[p] == Kind::Literal && text_[p] == c)
            return true;
    }
    return false;
}

void EditMask::assign(const QString& text)
{
    if (keepSeparators_)
        assignRuns(text);
    else
        assignPositions(text);
}

// Each separator is looked for after the place the previous one ended up; the text
// between them is the run for the digit positions in front of that separator.
void EditMask::assignRuns(const QString& text)
{
    qsizetype from = 0;
    int runStart = 0;
    for (int p = 0; p <= length(); ++p) {
        if (p < length() && kinds_[p] != Kind::Literal)
            continue;
        QString run;
        if (p == length()) {
            run = text.mid(from);
        } else {
            const qsizetype found = text.indexOf(text_[p], from);
            run = text.mid(from, found < 0 ? -1 : found - from);
            from = found < 0 ? text.size() : found + 1;
        }
        const QString fitted = fit(run, p - runStart);
        for (int k = 0; k < fitted.size(); ++k)
            setDigitAt(runStart + k, fitted[k]);
        runStart = p + 1;
    }
}

// Without separators in the text the characters go to the digit positions in order.
void EditMask::assignPositions(const QString& text)
{
    const int digits = int(std::count_if(kinds_.cbegin(), kinds_.cend(), [](Kind k) { return k != Kind::Literal; }));
    const QString fitted = fit(text, digits);
    int k = 0;
    for (int p = 0; p < length(); ++p) {
        if (kinds_[p] != Kind::Literal)
            setDigitAt(p, fitted[k++]);
    }
}

QString EditMask::fit(const QString& run, int width) const
{
    if (run.size() >= width)
        return rightAligned_ ? run.right(width) : run.left(width);
    const QString pad(width - run.size(), Space);
    return rightAligned_ ? pad + run : run + pad;
}

void EditMask::setDigitAt(int pos, QChar c)
{
    text_[pos] = c == blank_ ? Space : c;
}

QString EditMask::shownText() const
{
    QString shown = text_;
    for (int p = 0; p < length(); ++p) {
        if (kinds_[p] != Kind::Literal && shown[p] == Space)
            shown[p] = blank_;
    }
    return shown;
}

QString EditMask::fieldText() const
{
    if (keepSeparators_)
        return text_;
    QString field;
    for (int p = 0; p < length(); ++p) {
        if (kinds_[p] != Kind::Literal)
            field.append(text_[p]);
    }
    return field;
}

int EditMask::firstUnfilledRequired() const
{
    for (int p = 0; p < length(); ++p) {
        if (kinds_[p] == Kind::Required && (text_[p] == Space || text_[p] == blank_))
            return p;
    }
    return -1;
}

int EditMask::nextDigit(int from) const
{
    for (int p = std::max(from, 0); p < length(); ++p) {
        if (kinds_[p] != Kind::Literal)
            return p;
    }
    return -1;
}

int EditMask::previousDigit(int from) const
{
    for (int p = std::min(from, length() - 1); p >= 0; --p) {
        if (kinds_[p] != Kind::Literal)
            return p;
    }
    return -1;
}

void EditMask::clear(int from, int to)
{
    for (int p = std::max(from, 0); p < std::min(to, length()); ++p) {
        if (kinds_[p] != Kind::Literal)
            text_[p] = Space;
    }
}

int EditMask::type(int caret, QChar c)
{
    caret = std::clamp(caret, 0, length());
    if (isDigit(c)) {
        const int p = nextDigit(caret);
        if (p < 0)
            return -1;
        text_[p] = c;
        const int next = nextDigit(p + 1);
        return next < 0 ? length() : next;
    }
    if (!isSeparatorChar(c))
        return -1;
    // Right behind that separator already (the caret skipped it after the run was
    // typed full): stay, so that typing a complete date keeps its runs in place.
    if (caret > 0 && kinds_[caret - 1] == Kind::Literal && text_[caret - 1] == c)
        return caret;
    for (int p = caret; p < length(); ++p) {
        if (kinds_[p] == Kind::Literal && text_[p] == c)
            return p + 1;
    }
    return caret;
}

int EditMask::paste(int caret, const QString& text, bool* refused)
{
    int pos = std::clamp(caret, 0, length());
    for (const QChar c : text) {
        if (pos >= length())
            break;
        int next = type(pos, c);
        if (next < 0) {
            const int p = nextDigit(pos);
            if (p < 0)
                break;
            text_[p] = Space;
            if (refused)
                *refused = true;
            next = nextDigit(p + 1);
            if (next < 0)
                next = length();
        }
        pos = next;
    }
    return pos;
}

} // namespace kordane
