#pragma once

#include <FWKit/FWManaging.h>

#include <QSet>
#include <QStringList>

#include <coroutine>
#include <deque>
#include <functional>
#include <map>

namespace FWTest {

// The services, scripted per operation. Each call is written to the shared log ("loginDefined?",
// "shrink <url>", "paste <language>: <text>", "languages", "batches") and takes the next scripted
// answer, or a transport error once the script is used up. Calls of an operation named in `held`
// ("shrink", "paste", "languages", "batches") wait until the test releases them.
class FakeManager final : public FWKit::FWManaging
{
public:
    template<typename T>
    using Answer = std::expected<T, FWKit::FWError>;

    explicit FakeManager(QStringList &events)
        : m_events(events)
    {
    }
    // Answers whatever is still held, so no caller's frame outlives the test: destroy the callers
    // first, or keep what they use alive.
    ~FakeManager() override
    {
        while (!m_held.empty())
            release(m_held.begin()->first);
    }

    bool loginDefined = true;
    std::deque<Answer<FWKit::ShrinkResult>> shrinkAnswers;
    std::deque<Answer<FWKit::PasteResult>> pasteAnswers;
    std::deque<Answer<QList<QString>>> languageAnswers;
    std::deque<Answer<QList<FWKit::Batch>>> batchAnswers;
    QSet<QString> held;
    std::function<void(const QString &operation)> onCall;

    // Tickets of the held calls, oldest first.
    QList<int> waiting() const
    {
        QList<int> tickets;
        for (const auto &entry : m_held)
            tickets.append(entry.first);
        return tickets;
    }
    // The call answers, and its caller runs on to its next wait, before this returns.
    void release(int ticket)
    {
        auto entry = m_held.extract(ticket);
        if (!entry.empty())
            entry.mapped().resume();
    }

    QCoro::Task<bool> isLoginDefined() override
    {
        m_events.append(QStringLiteral("loginDefined?"));
        co_return loginDefined;
    }
    QCoro::Task<Answer<FWKit::ShrinkResult>> shrink(QString url) override
    {
        return respond(QStringLiteral("shrink"), QStringLiteral(" ") + url, shrinkAnswers);
    }
    QCoro::Task<Answer<FWKit::PasteResult>> paste(QString text, QString language) override
    {
        return respond(
            QStringLiteral("paste"), u' ' + language + QStringLiteral(": ") + text, pasteAnswers);
    }
    QCoro::Task<Answer<QList<QString>>> validPasteLanguages() override
    {
        return respond(QStringLiteral("languages"), {}, languageAnswers);
    }
    QCoro::Task<Answer<FWKit::AuthResult>> authenticate() override
    {
        std::deque<Answer<FWKit::AuthResult>> none;
        return respond(QStringLiteral("authenticate"), {}, none);
    }
    QCoro::Task<Answer<QList<FWKit::Batch>>> batches() override
    {
        return respond(QStringLiteral("batches"), {}, batchAnswers);
    }

private:
    struct Hold
    {
        std::map<int, std::coroutine_handle<>> &held;
        int ticket;

        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> caller) { held.emplace(ticket, caller); }
        void await_resume() const noexcept { }
    };

    // Everything of the fake is used before the hold; after it, only the frame's own answer.
    template<typename T>
    QCoro::Task<Answer<T>> respond(
        QString operation, QString arguments, std::deque<Answer<T>> &script)
    {
        m_events.append(operation + arguments);
        if (onCall)
            onCall(operation);
        Answer<T> answer = std::unexpected(FWKit::FWError::transport(QStringLiteral("unscripted")));
        if (!script.empty()) {
            answer = std::move(script.front());
            script.pop_front();
        }
        if (held.contains(operation))
            co_await Hold { m_held, m_nextTicket++ };
        co_return answer;
    }

    QStringList &m_events;
    std::map<int, std::coroutine_handle<>> m_held;
    int m_nextTicket = 0;
};

} // namespace FWTest
