#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What the fuzz targets share: turning the input into text, and failing a property loudly.
namespace FWFuzz {

// The input bytes, not copied: they live for the one call of the fuzz target.
inline QByteArray bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

// By default the bytes are UTF-8, so seed files stay readable and ASCII mutates cheaply; invalid
// sequences become U+FFFD. After a UTF-16LE byte-order mark (FF FE) the rest is raw little-endian
// UTF-16 code units instead: the only way to reach lone surrogates and every code unit exactly.
// An odd last byte is dropped.
inline QString text(const std::uint8_t *data, std::size_t size)
{
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        QString units;
        units.reserve(qsizetype((size - 2) / 2));
        for (std::size_t i = 2; i + 1 < size; i += 2)
            units.append(QChar(char16_t(data[i] | data[i + 1] << 8)));
        return units;
    }
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Printable ASCII as is, every other code unit as \uXXXX, so a report shows exactly what failed.
inline QByteArray visible(const QString &text)
{
    QByteArray out;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'\\')
            out += char(c.unicode());
        else
            out += "\\u" + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
    }
    return out;
}

// A broken property aborts, which libFuzzer records as a crash and saves the input.
inline void check(bool holds, const char *property, const QByteArray &detail = {})
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", property);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.constData());
    std::abort();
}

} // namespace FWFuzz
