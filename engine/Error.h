#pragma once

#include <QString>
#include <QVector>
#include <exception>
#include <string>

namespace engine {

// The categories the programs test for; everything else is General.
enum class ErrorCategory {
    General,
    KeyViolation,   // unique or primary key violated
    NoPermission,   // no permission for an operation on an object, no grant
                    // option, or a revoke of another grantor's privilege
    LockConflict,   // update conflict / deadlock
    Cancelled,      // the statement was cancelled from another thread
    Configuration,  // alias store, unknown alias, broken configuration file
    Login,          // user name and password refused
    ConnectionLost, // the server went away or shut the attachment down
    DialectRefused, // DDL a dialect-1 client may not send to a dialect-3 database
};

// The one exception type of the engine layer. It carries the server's whole
// message text (every line of the status vector), the SQLCODE and the raw
// status-vector codes, so callers can show exactly what the server said.
class Error : public std::exception {
public:
    explicit Error(QString message, ErrorCategory category = ErrorCategory::General,
                   long sqlCode = 0, QVector<long> statusCodes = {});

    const QString &message() const { return m_message; }
    ErrorCategory category() const { return m_category; }
    long sqlCode() const { return m_sqlCode; }
    const QVector<long> &statusCodes() const { return m_codes; }
    bool hasStatusCode(long code) const { return m_codes.contains(code); }

    const char *what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_message;
    ErrorCategory m_category;
    long m_sqlCode;
    QVector<long> m_codes;
    std::string m_utf8;
};

} // namespace engine
