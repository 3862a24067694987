#pragma once
// The texts of the rows read. A site's rows repeat a few codes, names, dates and times, so
// each text is decoded and held once, whatever number of rows hold its bytes, and ranked
// among all of them: records then sort and compare by rank, never text by text.
#include <QDate>
#include <QString>

#include <compare>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kordane::report {

class Text {
public:
    struct Entry {
        QString text;
        int rank = 0; // texts that are equal have the same; a smaller one sorts first
        std::optional<int> seconds; // of a complete, real time text
        mutable std::optional<QDate> placed; // the date its figures make, once asked
    };

    Text(); // the empty text
    explicit Text(const Entry& entry)
        : entry_(&entry)
    {
    }
    operator const QString&() const { return entry_->text; }
    const Entry& entry() const { return *entry_; }
    int rank() const { return entry_->rank; }

    friend bool operator==(Text a, Text b) { return a.entry_->rank == b.entry_->rank; }
    friend std::strong_ordering operator<=>(Text a, Text b) { return a.entry_->rank <=> b.entry_->rank; }

private:
    const Entry* entry_;
};

class Texts {
public:
    Texts() = default;
    Texts(const Texts&) = delete;
    Texts& operator=(const Texts&) = delete;

    // The text of the bytes, decoded by `decode` (which gives nullopt for bytes that are no
    // text) the first time they are read.
    template<class Decode>
    std::optional<Text> intern(std::string_view bytes, Decode decode)
    {
        // Rows in a row mostly hold the same date, times and weekday.
        if (last_ && last_->first == bytes)
            return last_->second ? std::optional(Text(*last_->second)) : std::nullopt;
        auto known = entries_.find(bytes);
        if (known == entries_.end()) {
            std::optional<Entry> entry;
            if (auto text = decode(bytes))
                entry = newEntry(std::move(*text));
            known = entries_.emplace(std::string(bytes), std::move(entry)).first;
            ranked_ = false;
        }
        last_ = &*known;
        return known->second ? std::optional(Text(*known->second)) : std::nullopt;
    }
    // Ranks the texts held: after reading, before the records read are compared.
    void rank();

private:
    using Entry = Text::Entry;
    static Entry newEntry(QString text);

    struct BytesHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view bytes) const { return std::hash<std::string_view> {}(bytes); }
    };
    // Nodes stay where they are, so the records' texts do too.
    std::unordered_map<std::string, std::optional<Entry>, BytesHash, std::equal_to<>> entries_;
    const decltype(entries_)::value_type* last_ = nullptr; // the last one asked for
    bool ranked_ = true;
};

// Texts that seldom repeat, such as cards, packed one after another: each is a QString over
// the store's own characters, so valid no longer than the store.
class PackedTexts {
public:
    QString add(QStringView text);

private:
    static constexpr qsizetype blockSize = 64 * 1024;
    std::vector<std::unique_ptr<QChar[]>> blocks_;
    qsizetype used_ = blockSize;
};

} // namespace kordane::report
