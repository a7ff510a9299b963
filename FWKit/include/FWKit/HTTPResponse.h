#pragma once

#include <QByteArray>

namespace FWKit {

// What a transport brings back from an HTTP exchange, whatever the status.
struct HTTPResponse
{
    int statusCode = 0;
    QByteArray body;

    friend bool operator==(const HTTPResponse &, const HTTPResponse &) = default;
};

} // namespace FWKit
