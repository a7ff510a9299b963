#pragma once

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QEventLoop>
#include <QTimer>
#include <QtGlobal>

#include <chrono>
#include <memory>
#include <optional>

namespace FWTest {

using namespace std::chrono_literals;

namespace detail {
template<typename T>
struct Completion
{
    std::optional<T> value;
    QEventLoop loop;
};

template<typename T>
QCoro::Task<> complete(QCoro::Task<T> task, std::shared_ptr<Completion<T>> completion)
{
    completion->value.emplace(co_await std::move(task));
    completion->loop.quit();
}
} // namespace detail

// Runs the event loop until the task finishes and returns its value. A task that does not finish
// within the limit is a hang: the test binary stops with a message instead of blocking CI.
template<typename T>
T waitFor(QCoro::Task<T> task, std::chrono::milliseconds limit = 20s)
{
    auto completion = std::make_shared<detail::Completion<T>>();
    detail::complete(std::move(task), completion);
    if (!completion->value) {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, &completion->loop,
            [] { qFatal("FWTest::waitFor: the task did not finish in time"); });
        watchdog.start(limit);
        completion->loop.exec();
    }
    return std::move(*completion->value);
}

} // namespace FWTest
