#pragma once

#include <QString>

namespace FWKit {

// The one error type of the service library. The payloads of transport and decoding are
// diagnostics for the log; what the user sees is errorDescription().
class FWError
{
public:
    enum class Kind { transport, httpStatus, decoding, validation, notAuthenticated };

    static FWError transport(QString description)
    {
        return { Kind::transport, std::move(description), 0 };
    }
    static FWError httpStatus(int status) { return { Kind::httpStatus, {}, status }; }
    static FWError decoding(QString description)
    {
        return { Kind::decoding, std::move(description), 0 };
    }
    static FWError validation(QString message)
    {
        return { Kind::validation, std::move(message), 0 };
    }
    static FWError notAuthenticated() { return { Kind::notAuthenticated, {}, 0 }; }

    Kind kind() const { return m_kind; }
    // The payload of transport, decoding and validation; empty for the other kinds.
    const QString &text() const { return m_text; }
    // The payload of httpStatus; 0 for the other kinds.
    int status() const { return m_status; }

    QString errorDescription() const;
    // Kind and payload, for diagnostics: "httpStatus(500)", "transport(Connection refused)".
    QString debugDescription() const;

    friend bool operator==(const FWError &, const FWError &) = default;

private:
    FWError(Kind kind, QString text, int status)
        : m_kind(kind)
        , m_text(std::move(text))
        , m_status(status)
    {
    }

    Kind m_kind;
    QString m_text;
    int m_status;
};

} // namespace FWKit
