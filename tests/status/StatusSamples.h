#pragma once

#include "status/StatusResponse.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMetaType>
#include <QString>

// Status documents and the records they stand for, shared by the decoding and encoding tests.
// Paths name a value inside a document with "/" between keys and array indexes, for example
// "companion/host/addresses/0".
namespace pylon::test {

// Every field set, each with a value that differs from its neighbours so a swapped key shows.
QJsonObject completeDocument();
StatusResponse completeStatus();

// Only the required keys, one Live instance with only its process id, no addresses.
QJsonObject minimalDocument();
StatusResponse minimalStatus();

// The value at `path`; undefined when there is none.
QJsonValue valueAt(const QJsonObject& document, const QString& path);

// `document` with the value at `path` replaced; an undefined value removes the key or element.
QJsonObject withValueAt(const QJsonObject& document, const QString& path, const QJsonValue& value);

// Compact JSON text of `document` with the value at `path` written as the literal `literal`,
// which need not be valid JSON (numbers beyond double precision, invalid bytes, ...).
QByteArray withLiteralAt(const QJsonObject& document, const QString& path, const QByteArray& literal);

QByteArray compactText(const QJsonObject& document);

// The encoder's output for `status`, parsed back into an object.
QJsonObject encodedObject(const StatusResponse& status);

// True when decoding refuses `json` cleanly: decodeStatusResponse() throws DecodingError with a
// message and tryDecodeStatusResponse() yields nothing with that message. Any other exception
// escapes and fails the calling test.
bool isRejected(const QByteArray& json);

} // namespace pylon::test

Q_DECLARE_METATYPE(pylon::StatusResponse)
