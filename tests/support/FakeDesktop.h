#pragma once

#include <FWKit/Desktop.h>

#include <QStringList>

namespace FWTest {

// What the user sees, in one ordered log: "clipboard <text>", "<title>: <body>", "open <url>".
class FakeDesktop final : public FWKit::PasteboardReading,
                          public FWKit::Notifying,
                          public FWKit::BrowserLaunching
{
public:
    QStringList log;
    std::optional<QString> clipboard;

    std::optional<QString> string() const override { return clipboard; }
    void setString(const QString &text) override
    {
        clipboard = text;
        log.append("clipboard " + text);
    }
    void notify(const QString &title, const QString &body) override
    {
        log.append(title + ": " + body);
    }
    void open(const QUrl &url) override { log.append("open " + url.toString(QUrl::FullyEncoded)); }
};

} // namespace FWTest
