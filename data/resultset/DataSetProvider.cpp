#include "data/resultset/DataSetProvider.h"

#include "data/resultset/UpdateResolver.h"
#include "data/sql/SqlConnection.h"

namespace kordane {

namespace {

class ConnectionCodec : public CellCodec {
public:
    explicit ConnectionCodec(const SqlConnection& connection)
        : connection_(connection)
    {
    }
    QString decode(std::string_view bytes) const override { return connection_.decode(bytes.data(), bytes.size()); }
    QByteArray encode(const QString& text) const override { return connection_.encode(text); }

private:
    const SqlConnection& connection_;
};

QString withoutLeadingBreaks(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && (text[start] == u' ' || text[start] == u'\r' || text[start] == u'\n'))
        ++start;
    return text.sliced(start);
}

} // namespace

DataSetProvider::DataSetProvider(QString name, SqlDataSet& source)
    : Component(std::move(name))
    , source_(source)
{
}

DataSetProvider::~DataSetProvider() = default;

DataPacket DataSetProvider::getRecords(const QString& commandText)
{
    DataPacket packet;
    try {
        if (!commandText.isEmpty())
            source_.setCommandText(withoutLeadingBreaks(commandText));
        if (!source_.active()) {
            openedSource_ = true;
            source_.open();
        }
        const int columns = source_.fieldCount();
        packet.columns.reserve(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i)
            packet.columns.push_back(source_.field(i));
        packet.rows = RecordStore(columns);
        for (; !source_.eof(); source_.next()) {
            const SqlStatement::RawRow row = source_.rawRow();
            for (int i = 0; i < columns; ++i) {
                if (row.nulls[i])
                    packet.rows.appendNull();
                else
                    packet.rows.appendCell(row.data[i], row.lengths[i]);
            }
            packet.rows.endRow();
        }
        packet.localeId = source_.connection().localeCode();
        packet.codec = std::make_shared<ConnectionCodec>(source_.connection());
    } catch (...) {
        // The source never stays open after a failed fetch; the fetch's error is the one to report.
        openedSource_ = false;
        try {
            source_.close();
        } catch (...) {
        }
        throw;
    }
    reset();
    return packet;
}

ApplyResult DataSetProvider::applyUpdates(const DeltaPacket& delta, int maxErrors)
{
    if (!resolver_)
        resolver_ = std::make_unique<UpdateResolver>(source_.connection());
    return resolver_->apply(source_.commandTextValue(), delta, maxErrors);
}

void DataSetProvider::reset()
{
    if (!openedSource_)
        return;
    openedSource_ = false;
    source_.close();
}

} // namespace kordane
