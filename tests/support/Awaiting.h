#pragma once

#include "platform/ServiceManager.h"

#include <QString>
#include <optional>
#include <qcoro/qcorotask.h>

namespace pylon::test {

// What a service-manager task ended with: the ServiceError's description, or nothing when it
// completed. Awaited in a nested event loop (QCoro::waitFor alone would wait for ever on a throw).
inline std::optional<QString> serviceErrorOf(QCoro::Task<> task) {
    auto catching = [](QCoro::Task<> awaited) -> QCoro::Task<std::optional<QString>> {
        std::optional<QString> failure;
        try {
            co_await awaited;
        } catch (const ServiceError& e) {
            failure = e.description();
        }
        co_return failure;
    };
    return QCoro::waitFor(catching(std::move(task)));
}

} // namespace pylon::test
