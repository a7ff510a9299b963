#pragma once

#include <FWKit/FWError.h>
#include <FWKit/HTTPRequest.h>
#include <FWKit/HTTPResponse.h>

#include <QCoro/QCoroTask>

#include <expected>

namespace FWKit {

// Sends one finished request. Any answer that is HTTP comes back as a response, whatever its
// status; everything else (no connection, TLS, timeout, a non-HTTP answer) as an FWError.
class HTTPTransport
{
public:
    virtual ~HTTPTransport() = default;

    virtual QCoro::Task<std::expected<HTTPResponse, FWError>> send(HTTPRequest request) = 0;
};

} // namespace FWKit
