#include "status/PylonError.h"

#include "status/JsonFields.h"

#include <QJsonDocument>

namespace pylon {

PylonError PylonError::companionLaunchFailed(const QString& message) {
    return PylonError{
        QStringLiteral("E02"),
        QStringLiteral("Companion launch failed"),
        0,
        QStringLiteral("Pylon Companion couldn't start. Try restarting it."),
        QStringLiteral("error=") + message,
    };
}

QByteArray encodePylonError(const PylonError& error) {
    const QJsonObject object{
        {QStringLiteral("code"), error.code},
        {QStringLiteral("name"), error.name},
        {QStringLiteral("severity"), error.severity},
        {QStringLiteral("description"), error.description},
        {QStringLiteral("detail"), error.detail},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

PylonError decodePylonError(const QByteArray& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        throw DecodingError("the error record is not a JSON object");
    const QJsonObject object = document.object();
    return PylonError{
        json::requiredString(object, QStringLiteral("code")),
        json::requiredString(object, QStringLiteral("name")),
        json::requiredInteger(object, QStringLiteral("severity")),
        json::requiredString(object, QStringLiteral("description")),
        json::requiredString(object, QStringLiteral("detail")),
    };
}

} // namespace pylon
