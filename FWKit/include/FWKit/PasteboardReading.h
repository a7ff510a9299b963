#pragma once

#include <QString>

#include <optional>

namespace FWKit {

// The system clipboard's plain text.
class PasteboardReading
{
public:
    virtual ~PasteboardReading() = default;

    // The clipboard's plain text, or nothing when it holds no text.
    virtual std::optional<QString> string() const = 0;
    // Replaces the whole clipboard content with the text.
    virtual void setString(const QString &text) = 0;
};

} // namespace FWKit
