#pragma once

#include <FWKit/FWError.h>
#include <FWKit/Records.h>

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>

#include <expected>

namespace FWKit {

// The provider's three services as the model sees them. Answers that decode are handed back
// whatever their type; judging them is the caller's task.
class FWManaging
{
public:
    virtual ~FWManaging() = default;

    // True when both a login and a password are stored; sends nothing.
    virtual QCoro::Task<bool> isLoginDefined() = 0;
    virtual QCoro::Task<std::expected<ShrinkResult, FWError>> shrink(QString url) = 0;
    virtual QCoro::Task<std::expected<PasteResult, FWError>> paste(
        QString text, QString language) = 0;
    virtual QCoro::Task<std::expected<QList<QString>, FWError>> validPasteLanguages() = 0;
    virtual QCoro::Task<std::expected<AuthResult, FWError>> authenticate() = 0;
    virtual QCoro::Task<std::expected<QList<Batch>, FWError>> batches() = 0;
};

} // namespace FWKit
