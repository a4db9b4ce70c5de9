#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace pylon {

// A companion failure as the views show it.
struct PylonError {
    QString code;        // short stable code, shown in parentheses after the description
    QString name;        // short title; the menu shows "Companion: " + name
    qint64 severity = 0; // carried, but nothing depends on it
    QString description; // one sentence for the user
    QString detail;      // technical detail, key=value

    bool operator==(const PylonError&) const = default;

    // "E02": registering or starting the companion failed with `message`.
    static PylonError companionLaunchFailed(const QString& message);
};

// Compact JSON with the keys "code", "name", "severity", "description" and "detail".
QByteArray encodePylonError(const PylonError& error);
// All five keys are required; throws DecodingError otherwise.
PylonError decodePylonError(const QByteArray& json);

} // namespace pylon
