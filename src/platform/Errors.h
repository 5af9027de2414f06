#pragma once

#include <QString>

#include <exception>

// An error carrying the text the user is shown by the default error display.
class EError : public std::exception {
public:
    explicit EError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A silent abort: ends a command quietly, and cancels a dataset's own insert, edit or
// delete after a handler has done the work itself.
class EAbort final : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

[[noreturn]] inline void Abort() {
    throw EAbort();
}
