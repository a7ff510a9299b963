#include "Encoding.h"

#include <QByteArray>
#include <QStringDecoder>

#include <cctype>

namespace FWFake {

std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace)
{
    // Qt's decoder keeps a malformed escape as it is; we must tell, to answer 400.
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    for (auto at = text.find('%'); at != std::string_view::npos; at = text.find('%', at + 1)) {
        if (text.size() - at < 3 || !isHex(text[at + 1]) || !isHex(text[at + 2]))
            return std::nullopt;
    }
    QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    if (plusIsSpace)
        bytes.replace('+', ' ');
    return QByteArray::fromPercentEncoding(bytes).toStdString();
}

std::optional<std::string> base64Decode(std::string_view text)
{
    // Qt's strict mode still takes unpadded text, even a lone character.
    if (text.size() % 4 != 0)
        return std::nullopt;
    const auto decoded =
        QByteArray::fromBase64Encoding(QByteArray(text.data(), static_cast<qsizetype>(text.size())),
            QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return decoded.decoded.toStdString();
}

QString fromUtf8(std::string_view bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
        QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
    return decoder(QByteArrayView(bytes));
}

} // namespace FWFake
