#pragma once
// The error kinds every layer raises. Each carries the text the user will read;
// the error display decides how (or whether) to show it.
#include <QByteArray>
#include <QString>
#include <exception>

#include "drivers/api/dbx.h"

namespace kordane {

class Exception : public std::exception {
public:
    explicit Exception(QString message)
        : message_(std::move(message))
        , utf8_(message_.toUtf8())
    {
    }
    const QString& message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// Ends a command without a word; the error display drops it.
class EAbort : public Exception {
public:
    EAbort()
        : Exception(QStringLiteral("Operation aborted"))
    {
    }
};

// A text that is no date.
class EConvertError : public Exception {
    using Exception::Exception;
};

// A masked field left with required positions unfilled.
class EDBEditError : public Exception {
public:
    EDBEditError()
        : Exception(QStringLiteral("Invalid input value.  Use escape key to abandon changes"))
    {
    }
};

// Any failure of the data layer; the driver's own failures are a kind of it.
class EDatabaseError : public Exception {
    using Exception::Exception;
};

// Raised for a non-zero status from the driver, carrying the driver's text alone and,
// for a server's failure, the server's codes: callers decide by those, never by the text.
class EDriverError : public EDatabaseError {
public:
    EDriverError(QString message, int status, dbx::ServerError server = {})
        : EDatabaseError(std::move(message))
        , status_(status)
        , server_(std::move(server))
    {
    }
    int status() const noexcept { return status_; }
    dbx::ErrorKind kind() const noexcept { return server_.kind; }
    const dbx::ServerError& server() const noexcept { return server_; }

private:
    int status_;
    dbx::ServerError server_;
};

// The component-name rule: "Name: message" for errors that concern a named component.
inline QString componentMessage(const QString& component, const QString& message)
{
    return component.isEmpty() ? message : component + QStringLiteral(": ") + message;
}

} // namespace kordane
