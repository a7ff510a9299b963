#pragma once

#include <FWKit/BrowserLaunching.h>
#include <FWKit/Notifying.h>
#include <FWKit/PasteboardReading.h>

#include <QStringList>

namespace FWTest {

// The clipboard, the notices and the browser in one, writing what the user would see into one
// ordered log, so a test can check the order across them: "clipboard <text>", "<title>: <body>",
// "open <url>".
class FakeDesktop final : public FWKit::PasteboardReading,
                          public FWKit::Notifying,
                          public FWKit::BrowserLaunching
{
public:
    QStringList events;
    std::optional<QString> clipboard;
    bool browserAccepts = true;

    std::optional<QString> string() const override { return clipboard; }
    void setString(const QString &text) override
    {
        clipboard = text;
        events.append(QStringLiteral("clipboard ") + text);
    }
    void notify(const QString &title, const QString &body) override
    {
        events.append(title + QStringLiteral(": ") + body);
    }
    bool open(const QUrl &url) override
    {
        events.append(QStringLiteral("open ") + url.toString(QUrl::FullyEncoded));
        return browserAccepts;
    }
};

} // namespace FWTest
