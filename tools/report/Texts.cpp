#include "tools/report/Texts.h"

#include "tools/report/Spells.h"

#include <algorithm>

namespace kordane::report {
namespace {

const Text::Entry emptyText;

} // namespace

Text::Text()
    : entry_(&emptyText)
{
}

Texts::Entry Texts::newEntry(QString text)
{
    Entry entry;
    entry.seconds = timeSeconds(text);
    entry.text = std::move(text);
    return entry;
}

void Texts::rank()
{
    if (ranked_)
        return;
    std::vector<Entry*> order;
    order.reserve(entries_.size());
    for (auto& [bytes, entry] : entries_) {
        if (entry)
            order.push_back(&*entry);
    }
    std::sort(order.begin(), order.end(), [](const Entry* a, const Entry* b) { return a->text < b->text; });
    // The empty text, the default one's too, is 0 and first.
    int rank = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i == 0 ? !order[i]->text.isEmpty() : order[i]->text != order[i - 1]->text)
            ++rank;
        order[i]->rank = rank;
    }
    ranked_ = true;
}

QString PackedTexts::add(QStringView text)
{
    if (text.isEmpty())
        return {};
    if (text.size() > blockSize - used_) {
        blocks_.push_back(std::make_unique<QChar[]>(static_cast<std::size_t>(std::max(blockSize, text.size()))));
        used_ = 0;
    }
    QChar* const at = blocks_.back().get() + used_;
    std::copy(text.begin(), text.end(), at);
    used_ += text.size();
    return QString::fromRawData(at, text.size());
}

} // namespace kordane::report
