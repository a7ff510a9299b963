#pragma once

#include <FWKit/FWManager.h>

#include <QStringList>

#include <chrono>
#include <coroutine>
#include <deque>

namespace FWTest {

// The services, scripted: each call takes the next answer of its operation, or a transport error
// once that script is used up. Shrink and paste requests are listed in `calls`. While `hold` is
// set, calls wait in `waiting` until released, so a test can finish them in any order.
class FakeManager final : public FWKit::FWManaging
{
public:
    template<typename T>
    using Answer = std::expected<T, FWKit::FWError>;
    template<typename T>
    using Script = std::deque<Answer<T>>;

    bool loginDefined = true;
    bool hold = false;
    Script<FWKit::ShrinkResult> shrinkAnswers;
    Script<FWKit::PasteResult> pasteAnswers;
    Script<QList<QString>> languageAnswers;
    Script<QList<FWKit::Batch>> batchAnswers;
    QStringList calls;
    QList<std::chrono::steady_clock::time_point> fetched; // when batches() was called
    QList<std::coroutine_handle<>> waiting;

    // The caller runs on to its next wait before this returns.
    void release(qsizetype index) { waiting.takeAt(index).resume(); }

    QCoro::Task<bool> isLoginDefined() override { co_return loginDefined; }
    QCoro::Task<Answer<FWKit::ShrinkResult>> shrink(QString url) override
    {
        calls.append("shrink " + url);
        return respond(shrinkAnswers);
    }
    QCoro::Task<Answer<FWKit::PasteResult>> paste(QString text, QString language) override
    {
        calls.append("paste " + language + ": " + text);
        return respond(pasteAnswers);
    }
    QCoro::Task<Answer<QList<QString>>> validPasteLanguages() override
    {
        return respond(languageAnswers);
    }
    QCoro::Task<Answer<FWKit::AuthResult>> authenticate() override { return respond(m_auth); }
    QCoro::Task<Answer<QList<FWKit::Batch>>> batches() override
    {
        fetched.append(std::chrono::steady_clock::now());
        return respond(batchAnswers);
    }

private:
    struct Hold
    {
        QList<std::coroutine_handle<>> &waiting;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> caller) { waiting.append(caller); }
        void await_resume() const noexcept { }
    };

    // The answer is taken before the hold: after it the frame uses only its own copy.
    template<typename T>
    QCoro::Task<Answer<T>> respond(Script<T> &script)
    {
        Answer<T> answer = std::unexpected(FWKit::FWError::transport("unscripted"));
        if (!script.empty()) {
            answer = std::move(script.front());
            script.pop_front();
        }
        if (hold)
            co_await Hold { waiting };
        co_return answer;
    }

    Script<FWKit::AuthResult> m_auth;
};

} // namespace FWTest
