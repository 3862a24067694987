#include "data/sql/SqlConnection.h"

#include "data/config/ConfigLocation.h"
#include "data/config/IniFile.h"
#include "data/sql/BusyIndicator.h"
#include "data/sql/DriverErrors.h"
#include "data/sql/DriverLibrary.h"
#include "data/sql/EmbeddedEngine.h"
#include "data/sql/SqlStatement.h"
#include "data/sql/TextCodec.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <algorithm>

namespace kordane {
namespace {

int toInteger(const QString& value)
{
    const QString text = value.trimmed();
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return n;
}

bool isTrue(const QString& value) { return value.trimmed().toUpper() == u"TRUE"; }

std::string toStd(const QByteArray& bytes) { return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())); }

} // namespace

QStringList storedParams()
{
    return {
        QStringLiteral("DriverName=Interbase"),
        QStringLiteral("Database=localhost:/var/lib/kordane/POSDATA.FDB"),
        QStringLiteral("RoleName=RoleName"),
        QStringLiteral("User_Name=SYSDBA"),
        QStringLiteral("Password=") + storedPassword,
        QStringLiteral("ServerCharSet="),
        QStringLiteral("SQLDialect=3"),
        QStringLiteral("BlobSize=-1"),
        QStringLiteral("CommitRetain=False"),
        QStringLiteral("WaitOnLocks=True"),
        QStringLiteral("ErrorResourceFile="),
        QStringLiteral("LocaleCode=0000"),
        QStringLiteral("Interbase TransIsolation=ReadCommited"),
        QStringLiteral("Trim Char=False"),
    };
}

QByteArray connectionsFileText(const QStringList& values)
{
    QString text = u'[' + connectionSection + QStringLiteral("]\n");
    for (const QString& line : storedParams()) {
        const QStringView name = QStringView(line).left(line.indexOf(u'=') + 1);
        const auto given = std::find_if(values.begin(), values.end(), [&](const QString& v) { return v.startsWith(name); });
        text += (given == values.end() ? line : *given) + u'\n';
    }
    return text.toUtf8();
}

SqlConnection::SqlConnection(QString name)
    : name_(std::move(name))
{
}

SqlConnection::~SqlConnection()
{
    try {
        close();
    } catch (...) {
        // The session is being dropped either way.
    }
}

QString SqlConnection::driversFilePath() const
{
    return driversFileOverride_.isEmpty() ? config::driversFilePath() : driversFileOverride_;
}

std::optional<QString> SqlConnection::paramValue(const QString& name) const
{
    for (const QString& line : params) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && QStringView(line).first(eq).compare(name, Qt::CaseInsensitive) == 0) {
            if (eq + 1 == line.size())
                return std::nullopt;
            return line.sliced(eq + 1);
        }
    }
    return std::nullopt;
}

int SqlConnection::numberParam(const QString& name, int absent, int least) const
{
    if (const auto value = paramValue(name)) {
        bool ok = false;
        const int number = value->trimmed().toInt(&ok);
        if (ok && number >= least)
            return number;
    }
    return absent;
}

int SqlConnection::localeCode() const
{
    if (const auto value = paramValue(QStringLiteral("LocaleCode"))) {
        bool ok = false;
        const int code = value->trimmed().toInt(&ok, 16);
        if (ok)
            return code;
    }
    return 0;
}

void SqlConnection::open()
{
    if (state_ != State::Closed)
        return;
    if (loadParamsOnConnect) {
        loadParams();
        readDriverSettings();
    }
    if (libraryName.isEmpty() || vendorLib.isEmpty())
        throw EDatabaseError(componentMessage(name_, QStringLiteral("DLL/Shared Library Name not Set")));
    if (!paramValue(QStringLiteral("Database"))) {
        throw EDatabaseError(connectionName.isEmpty() ? QStringLiteral("Connection name missing")
                                                      : QStringLiteral("Missing Database property"));
    }

    state_ = State::Connecting;
    // The hourglass for the length of a connect, failed or not.
    const busy::Scope busy(busyPointer);
    try {
        connectDriver();
    } catch (...) {
        releaseDriver();
        state_ = State::Closed;
        throw;
    }
    state_ = State::Open;
}

void SqlConnection::loadParams()
{
    if (!paramsLoaded_) {
        if (connectionName.isEmpty())
            throw EDatabaseError(QStringLiteral("Connection name missing"));
        const bool lookedUp = !connectionsFileOverride_;
        const QString path = lookedUp ? config::connectionsFilePath() : *connectionsFileOverride_;
        const auto ini = IniFile::load(path, QString::fromLatin1(config::connectionsFileRole));
        if (!ini) {
            QString message = QStringLiteral("Driver/Connection Registry File '%1' not found").arg(path);
            // A file found by the look-up, not one set by hand: say where it was looked for.
            if (lookedUp)
                message += u'\n' + config::connectionsSearchReport();
            throw EDatabaseError(message);
        }
        params = ini->sectionLines(connectionName);
        paramsLoaded_ = true;
    }
    driverName = paramValue(QStringLiteral("DriverName")).value_or(QString());
    if (driverName.isEmpty())
        throw EDatabaseError(QStringLiteral("Missing DriverName property"));
}

void SqlConnection::readDriverSettings()
{
    const IniFile drivers = IniFile::load(driversFilePath(), QString::fromLatin1(config::driversFileRole)).value_or(IniFile());
    libraryName = drivers.value(driverName, u"LibraryName");
    vendorLib = drivers.value(driverName, u"VendorLib").trimmed();
    getDriverFunc = drivers.value(driverName, u"GetDriverFunc");
}

void SqlConnection::connectDriver()
{
    const QString database = paramValue(QStringLiteral("Database")).value_or(QString()).trimmed();
    engine::prepareForConnect(database, vendorLib);
    embeddedFile_ = engine::isDatabaseFile(database) ? database : QString();
    embeddedOpens_ = embeddedFile_.isEmpty() ? OpenWatch() : OpenWatch(embeddedFile_.trimmed());
    const QString libraryFile = libraryName.trimmed();
    if (!library_ || library_->fileName() != libraryFile) {
        library_ = DriverLibrary::load(libraryFile);
        if (!library_)
            throw EDatabaseError(QStringLiteral("Unable to Load %1").arg(libraryFile));
    }
    const QString entryName = getDriverFunc.trimmed();
    const auto entry = reinterpret_cast<dbx::GetDriverFunc>(library_->symbol(entryName));
    if (!entry)
        throw EDatabaseError(QStringLiteral("Unable to Find Procedure %1").arg(entryName));

    const QByteArray errorResource = QFile::encodeName(paramValue(QStringLiteral("ErrorResourceFile")).value_or(QString()).trimmed());
    dbx::ISQLDriver* driver = nullptr;
    const dbx::Status started = entry(QFile::encodeName(vendorLib).constData(), errorResource.constData(), &driver);
    driver_.reset(driver);
    if (started != dbx::DBXERR_NONE || !driver_)
        throw EDatabaseError(QStringLiteral("Unable to Load %1").arg(vendorLib));

    check(driver_.get(), driver_->getConnection(connection_));

    // A new connect may bring a new character set with the reloaded parameters.
    codec_ = std::make_unique<TextCodec>(paramValue(QStringLiteral("ServerCharSet")).value_or(QString()));

    const QString password = paramValue(QStringLiteral("PASSWORD")).value_or(QString());
    const QString user = paramValue(QStringLiteral("USER_NAME")).value_or(QString());

    applyOptions();

    try {
        check(connection_.get(), connection_->connect(toStd(encode(database)), toStd(encode(user)), toStd(encode(password))));
    } catch (const EDriverError& e) {
        const QString advice = engine::lockRefusalAdvice(e.server());
        if (advice.isEmpty())
            throw;
        throw EDriverError(e.message() + u'\n' + advice, e.status(), e.server());
    }

    check(connection_.get(), connection_->getMaxActiveStatements(maxStatements_));
    check(connection_.get(), connection_->getMetaData(metaData_));
    if (!metaData_)
        throw EDatabaseError(driverStatusMessage(dbx::DBXERR_INVALIDHNDL));
    if (!user.trimmed().isEmpty()) {
        check(metaData_, metaData_->setSchemaName(toStd(encode(user.trimmed()))));
    }

    std::string quote;
    check(metaData_, metaData_->getQuoteChar(quote));
    quoteChar_ = decode(quote.data(), quote.size());
    const auto blobSize = paramValue(QStringLiteral("BlobSize"));
    check(connection_.get(), connection_->setOption(dbx::ConnectionOption::BlobSize, std::int64_t {blobSize ? toInteger(*blobSize) : -1}));
    // Read once a connect, like the other parameters, rather than at every prepare.
    rowsetSize_ = numberParam(QStringLiteral("RowsetSize"), 20, 1);
    releaseDelay_ = numberParam(QStringLiteral("Statement Release Delay"), 1000, 0);
    check(metaData_, metaData_->getTransactionsSupported(transactionsSupported_));
}

void SqlConnection::applyOptions()
{
    using Option = dbx::ConnectionOption;
    const auto text = [this](const QString& key, Option option) {
        const QString value = paramValue(key).value_or(QString()).trimmed();
        if (!value.isEmpty())
            check(connection_.get(), connection_->setOption(option, toStd(encode(value))));
    };
    const auto flag = [this](const QString& key, Option option) {
        if (const auto value = paramValue(key))
            check(connection_.get(), connection_->setOption(option, std::int64_t {isTrue(*value)}));
    };
    const auto integer = [this](const QString& key, Option option) {
        if (const auto value = paramValue(key))
            check(connection_.get(), connection_->setOption(option, std::int64_t {toInteger(*value)}));
    };

    text(QStringLiteral("HostName"), Option::HostName);
    text(QStringLiteral("RoleName"), Option::RoleName);
    flag(QStringLiteral("WaitOnLocks"), Option::WaitOnLocks);
    flag(QStringLiteral("CommitRetain"), Option::CommitRetain);
    flag(QStringLiteral("AutoCommit"), Option::AutoCommit);
    flag(QStringLiteral("BlockingMode"), Option::BlockingMode);
    text(QStringLiteral("ServerCharSet"), Option::ServerCharSet);

    isolation_ = dbx::Isolation::ReadCommitted;
    if (const auto value = paramValue(driverName + QStringLiteral(" TransIsolation"))) {
        const QString level = value->toLower();
        if (level == u"repeatableread")
            isolation_ = dbx::Isolation::RepeatableRead;
        else if (level == u"dirtyread")
            isolation_ = dbx::Isolation::DirtyRead;
        check(connection_.get(), connection_->setOption(Option::TransIsolation, static_cast<std::int64_t>(isolation_)));
    }

    integer(QStringLiteral("SqlDialect"), Option::SqlDialect);
    flag(QStringLiteral("OS Authentication"), Option::OSAuthentication);
    text(QStringLiteral("Server Port"), Option::ServerPort);
    flag(QStringLiteral("Multiple Transaction"), Option::MultipleTransaction);
    flag(QStringLiteral("Trim Char"), Option::TrimChar);
    text(QStringLiteral("Custom String"), Option::CustomString);
    integer(QStringLiteral("Connection Timeout"), Option::ConnectTimeout);
}

void SqlConnection::close()
{
    if (state_ != State::Open)
        return;
    state_ = State::Disconnecting;
    releaseDriver();
    transactionCount_ = 0;
    activeStatements_ = 0;
    paramsLoaded_ = false;
    state_ = State::Closed;
}

void SqlConnection::releaseDriver() noexcept
{
    // Statements first: their commands and cursors belong to the driver connection.
    for (SqlStatement* statement : statements_)
        statement->unprepare();
    kept_.clear();
    if (idleRelease_)
        idleRelease_->stop();
    second_.reset();
    metaData_ = nullptr;
    if (connection_)
        (void)connection_->disconnect(); // nothing to do about a failure here: the session is dropped anyway
    connection_.reset();
    driver_.reset();
}

void SqlConnection::raiseDriverErrorText(dbx::Status status, bool gotText, const std::string& text,
                                         dbx::ServerError server)
{
    QString message;
    if (status < firstObjectTextStatus)
        message = driverStatusMessage(status);
    else if (!gotText)
        message = lastError_;
    else
        message = decode(text.data(), text.size());
    if (message.isEmpty())
        message = QStringLiteral("SQL Error: Error mapping failed");
    lastError_ = message;
    throw EDriverError(message, status, std::move(server));
}

const TextCodec& SqlConnection::codec() const
{
    if (!codec_) {
        try {
            codec_ = std::make_unique<TextCodec>(paramValue(QStringLiteral("ServerCharSet")).value_or(QString()));
        } catch (const EDatabaseError&) {
            // The connect reports an unusable set; until then texts go as code page 950.
            codec_ = std::make_unique<TextCodec>(QString());
        }
    }
    return *codec_;
}

QByteArray SqlConnection::encode(const QString& text) const { return codec().encode(text); }

QString SqlConnection::decode(const char* data, std::size_t length) const { return codec().decode(data, length); }

std::optional<QString> SqlConnection::decodeExactly(const char* data, std::size_t length) const
{
    return codec().decodeExactly(QByteArrayView(data, static_cast<qsizetype>(length)));
}

SqlConnection& SqlConnection::commandConnection()
{
    if (maxStatements_ <= 0 || activeStatements_ < maxStatements_)
        return *this;
    if (!second_) {
        auto second = std::make_unique<SqlConnection>(name_);
        second->connectionName = connectionName;
        second->driverName = driverName;
        second->libraryName = libraryName;
        second->getDriverFunc = getDriverFunc;
        second->vendorLib = vendorLib;
        second->params = params;
        second->loadParamsOnConnect = false;
        second->busyPointer = busyPointer;
        second->open();
        second_ = std::move(second);
    }
    return *second_;
}

namespace {

// Enough for every statement the window repeats (the removal's, the insert, the day's
// query) beside those whose literals make each text new.
constexpr std::size_t keptLimit = 8;

} // namespace

std::unique_ptr<dbx::ISQLCommand> SqlConnection::createCommand()
{
    open();
    SqlConnection& target = commandConnection();
    std::unique_ptr<dbx::ISQLCommand> command;
    check(target.connection_.get(), target.connection_->createCommand(command));
    return command;
}

PreparedCommand SqlConnection::prepareCommand(const QString& sql, int parameterCount)
{
    open();
    noteUse();
    // Found by the text as written, so that a statement run again is not encoded again.
    const auto same = std::find_if(kept_.rbegin(), kept_.rend(), [&](const PreparedCommand& kept) {
        return kept.parameterCount == parameterCount && kept.source == sql;
    });
    if (same != kept_.rend()) {
        PreparedCommand prepared = std::move(*same);
        prepared.reused = true;
        kept_.erase(std::next(same).base());
        return prepared;
    }
    PreparedCommand prepared {sql, toStd(encode(sql)), parameterCount, false, nullptr};
    // At the limit the oldest kept command is prepared again: a new one costs its
    // allocation, a round trip on a server.
    if (kept_.size() >= keptLimit) {
        prepared.command = std::move(kept_.front().command);
        kept_.erase(kept_.begin());
    } else {
        prepared.command = createCommand();
    }
    prepareAfresh(prepared);
    return prepared;
}

void SqlConnection::prepareAfresh(PreparedCommand& command)
{
    command.reused = false;
    check(command.command.get(), command->setRowsetSize(rowsetSize_));
    check(command.command.get(), command->prepare(command.text, command.parameterCount));
}

void SqlConnection::recycle(PreparedCommand command)
{
    // Only where every command is this connection's own.
    if (!command || state_ != State::Open || maxStatements_ > 0 || releaseDelay_ == 0)
        return;
    kept_.push_back(std::move(command));
    if (kept_.size() > keptLimit)
        kept_.erase(kept_.begin());
    noteUse();
}

void SqlConnection::noteUse()
{
    // Without an event loop there is no idle time to wait for: a tool's run ends first.
    if (releaseDelay_ <= 0 || !QCoreApplication::instance())
        return;
    // A use only notes its time: the timer, set once, waits out what is left of the delay
    // when it fires, rather than being set again at every statement.
    lastUse_ = std::chrono::steady_clock::now();
    if (!idleRelease_) {
        idleRelease_ = std::make_unique<QTimer>();
        idleRelease_->setSingleShot(true);
        idleRelease_->callOnTimeout([this] {
            const auto idle = std::chrono::steady_clock::now() - lastUse_;
            const auto delay = std::chrono::milliseconds(releaseDelay_);
            if (idle < delay)
                idleRelease_->start(std::chrono::ceil<std::chrono::milliseconds>(delay - idle));
            else
                releasePrepared();
        });
    }
    if (!idleRelease_->isActive())
        idleRelease_->start(releaseDelay_);
}

void SqlConnection::releasePrepared()
{
    kept_.clear();
    for (SqlStatement* statement : statements_)
        statement->releaseIfIdle();
    if (second_)
        second_->releasePrepared();
}

void SqlConnection::bind(dbx::ISQLCommand& command, int position, const std::optional<QString>& value)
{
    if (!value) {
        bindBytes(command, position, std::nullopt);
        return;
    }
    const QByteArray bytes = encode(*value);
    bindBytes(command, position, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void SqlConnection::bindBytes(dbx::ISQLCommand& command, int position, std::optional<std::string_view> bytes)
{
    check(&command, bytes ? command.setTextParameter(position, bytes->data(), bytes->size()) : command.setNullParameter(position));
}

std::int64_t SqlConnection::execute(dbx::ISQLCommand& command, const std::vector<std::optional<std::string_view>>& bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bindBytes(command, static_cast<int>(i) + 1, bytes[i]);
    std::unique_ptr<dbx::ISQLCursor> cursor;
    check(&command, command.execute(cursor));
    cursor.reset();
    std::int64_t rows = 0;
    check(&command, command.getRowsAffected(rows));
    return rows;
}

void SqlConnection::statementOpened() { ++activeStatements_; }

void SqlConnection::statementClosed()
{
    if (activeStatements_ > 0)
        --activeStatements_;
}

void SqlConnection::attach(SqlStatement* statement) { statements_.push_back(statement); }

void SqlConnection::detach(SqlStatement* statement) { std::erase(statements_, statement); }

void SqlConnection::refuseSharedWrite()
{
    if (embeddedFile_.isEmpty() || state_ != State::Open || embeddedOpens_.quiet())
        return;
    try {
        engine::refuseForeignEngines(embeddedFile_);
        embeddedOpens_.lookedClean();
    } catch (...) {
        close();
        throw;
    }
}

void SqlConnection::startTransaction(int id)
{
    open();
    refuseSharedWrite();
    check(connection_.get(), connection_->beginTransaction(id, isolation_));
    ++transactionCount_;
}

void SqlConnection::startReadOnlyTransaction(int id)
{
    open();
    check(connection_.get(), connection_->beginTransaction(id, dbx::Isolation::RepeatableRead, dbx::Access::ReadOnly));
    ++transactionCount_;
}

void SqlConnection::commit(int id)
{
    if (!connection_)
        throw EDatabaseError(componentMessage(name_, QStringLiteral("No transaction active")));
    check(connection_.get(), connection_->commit(id));
    if (transactionCount_ > 0)
        --transactionCount_;
}

void SqlConnection::rollback(int id)
{
    if (!connection_)
        throw EDatabaseError(componentMessage(name_, QStringLiteral("No transaction active")));
    check(connection_.get(), connection_->rollback(id));
    if (transactionCount_ > 0)
        --transactionCount_;
}

} // namespace kordane
