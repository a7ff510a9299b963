#pragma once

#include <FWKit/Desktop.h>

namespace Ferrowick {

// The desktop's clipboard selection (not the primary selection). Needs a QGuiApplication.
// A clipboard without text/plain reads as nothing; an empty text is returned as an empty string.
class SystemPasteboard final : public FWKit::PasteboardReading
{
public:
    std::optional<QString> string() const override;
    // Drops every other format (rich text, images) the clipboard held before.
    void setString(const QString &text) override;
};

} // namespace Ferrowick
