#pragma once
// Exceptions that end the current command and reach the application's error handler.

#include <QString>
#include <stdexcept>

class TmError : public std::runtime_error
{
public:
    explicit TmError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// A text that is not a number where one is needed.
class EConvertError : public TmError
{
public:
    using TmError::TmError;
};

// A file that cannot be created, opened, read or written; the message names file and reason.
class EInOutError : public TmError
{
public:
    EInOutError(const QString& message, int osError) : TmError(message), m_osError(osError) {}
    int osError() const { return m_osError; }

private:
    int m_osError;
};

// A stored window description or language module that cannot be used.
class EResourceError : public TmError
{
public:
    using TmError::TmError;
};
