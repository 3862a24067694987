#pragma once
// The content of a masked entry field, apart from any widget: the mask's positions,
// what each one holds, and the editing steps that typing, deleting and pasting make.
//
// A mask has three sections separated by ';': the pattern, the keep-separators flag
// ("0" leaves the separators out of the field text) and the character shown in an
// unfilled position. Pattern symbols: '!' right-aligns assigned runs, '0' a required
// digit, '9' an optional digit, '/' and ':' the date and time separators (shown as the
// characters handed in), '\' takes the next character literally; any other character
// stands for itself.
#include <QList>
#include <QString>

namespace kordane {

class EditMask {
public:
    EditMask() = default;
    explicit EditMask(const QString& mask, QChar dateSeparator = QLatin1Char('/'),
                      QChar timeSeparator = QLatin1Char(':'));

    int length() const { return int(text_.size()); }
    bool isDigitPosition(int pos) const;
    bool isRequiredPosition(int pos) const;
    bool isSeparatorChar(QChar c) const;
    QChar blankChar() const { return blank_; }
    bool keepsSeparators() const { return keepSeparators_; }

    // Fits an assigned text by the separator-and-run rule; never fails.
    void assign(const QString& text);
    // Full length, unfilled positions shown as the blank character.
    QString shownText() const;
    // Full length, a space in every unfilled position (separators only if kept).
    QString fieldText() const;

    // Every required position holds something other than the blank character or a space.
    bool requiredFilled() const { return firstUnfilledRequired() < 0; }
    int firstUnfilledRequired() const;

    // First digit position at or after `from` / at or before `from`; -1 if none.
    int nextDigit(int from) const;
    int previousDigit(int from) const;

    // Unfills every digit position in [from, to).
    void clear(int from, int to);
    // One typed character at the caret. Returns the new caret (length() past the last
    // position), or -1 when the character is refused and nothing changed.
    int type(int caret, QChar c);
    // Feeds text through the typing rule from the caret on; a refused character leaves
    // its position unfilled. Stops at the end. Returns the new caret.
    int paste(int caret, const QString& text, bool* refused = nullptr);

    bool operator==(const EditMask&) const = default;

    // Only these are typed into a digit position.
    static bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

private:
    enum class Kind : char { Required,
                             Optional,
                             Literal };
    void assignRuns(const QString& text);
    void assignPositions(const QString& text);
    QString fit(const QString& run, int width) const;
    void setDigitAt(int pos, QChar c);

    QList<Kind> kinds_;
    QString text_; // literals in place, a space in every unfilled digit position
    QChar blank_ = QLatin1Char('_');
    bool keepSeparators_ = true;
    bool rightAligned_ = false;
};

} // namespace kordane
