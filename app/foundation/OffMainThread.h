#pragma once

#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace pylon {

// What a piece of work run off the main thread produced: its value, or the exception it threw.
template <typename T>
class WorkResult {
public:
    WorkResult() = default;
    static WorkResult succeeded(T value) {
        WorkResult result;
        result.m_value.emplace(std::move(value));
        return result;
    }
    static WorkResult failed(std::exception_ptr failure) {
        WorkResult result;
        result.m_failure = std::move(failure);
        return result;
    }
    // The value, or the work's own exception rethrown with its type.
    T get() && {
        if (m_failure)
            std::rethrow_exception(m_failure);
        return std::move(*m_value);
    }

private:
    std::optional<T> m_value;
    std::exception_ptr m_failure;
};

template <>
class WorkResult<void> {
public:
    static WorkResult succeeded() { return {}; }
    static WorkResult failed(std::exception_ptr failure) {
        WorkResult result;
        result.m_failure = std::move(failure);
        return result;
    }
    void get() && {
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

private:
    std::exception_ptr m_failure;
};

// The one way work leaves the main thread: `work` runs on Qt's global thread pool, and the caller
// awaits the returned future (co_await, QCoro) and calls get() on the result, which gives what
// `work` returned or rethrows what it threw. `work` is moved to the worker and must own everything
// it uses: the caller may be gone by the time it runs. Keep the future in a named local and await
// that: GCC 12 may destroy the temporaries of a co_await expression (the work's lambda) twice.
//
//     auto copying = runOffMainThread([from, to] { copy(from, to); });
//     (co_await copying).get();
template <typename Work>
auto runOffMainThread(Work work) -> QFuture<WorkResult<std::invoke_result_t<Work&>>> {
    using Value = std::invoke_result_t<Work&>;
    return QtConcurrent::run([work = std::move(work)]() mutable -> WorkResult<Value> {
        try {
            if constexpr (std::is_void_v<Value>) {
                work();
                return WorkResult<void>::succeeded();
            } else {
                return WorkResult<Value>::succeeded(work());
            }
        } catch (...) {
            return WorkResult<Value>::failed(std::current_exception());
        }
    });
}

} // namespace pylon
