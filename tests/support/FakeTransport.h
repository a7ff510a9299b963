#pragma once

#include <FWKit/HTTPTransport.h>

#include <QCoro/QCoroSignal>
#include <QList>
#include <QObject>

#include <deque>

namespace FWTest {

// Opens once; everything waiting on it resumes.
class Gate : public QObject
{
    Q_OBJECT
public:
    void open() { emit opened(); }
signals:
    void opened();
};

// Records every request and answers from a script (200 with "{}" once the script is used up).
// Requests whose URL path ends with `heldPathSuffix` wait for `gate` before answering.
class FakeTransport final : public FWKit::HTTPTransport
{
public:
    using Answer = std::expected<FWKit::HTTPResponse, FWKit::FWError>;

    QList<FWKit::HTTPRequest> requests;
    std::deque<Answer> answers;
    QString heldPathSuffix;
    Gate gate;

    void answer(int status, const QByteArray &body)
    {
        answers.push_back(FWKit::HTTPResponse { status, body });
    }
    void fail(const FWKit::FWError &error) { answers.push_back(std::unexpected(error)); }

    QCoro::Task<Answer> send(FWKit::HTTPRequest request) override
    {
        requests.append(request);
        const bool held = !heldPathSuffix.isEmpty() && request.url.path().endsWith(heldPathSuffix);
        Answer answer = FWKit::HTTPResponse { 200, "{}" };
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (held)
            co_await qCoro(&gate, &Gate::opened);
        co_return answer;
    }
};

} // namespace FWTest
