#include "status/StrictJson.h"

#include <QRegularExpression>

namespace pylon {

namespace {

bool isNumberCharacter(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The value of four hex digits at `at`, or nothing.
std::optional<unsigned> hexQuad(const QByteArray& json, qsizetype at) {
    if (at + 4 > json.size())
        return std::nullopt;
    unsigned value = 0;
    for (qsizetype i = at; i < at + 4; ++i) {
        if (!isHexDigit(json[i]))
            return std::nullopt;
        value = value * 16 + unsigned(QByteArray(1, json[i]).toUInt(nullptr, 16));
    }
    return value;
}

// Checks the escape starting at the backslash `at`; returns the index after it, or nothing.
std::optional<qsizetype> escapeEnd(const QByteArray& json, qsizetype at, std::string& problem) {
    if (at + 1 >= json.size()) {
        problem = "unfinished escape";
        return std::nullopt;
    }
    const char kind = json[at + 1];
    if (QByteArrayView("\"\\/bfnrt").contains(kind))
        return at + 2;
    if (kind != 'u') {
        problem = "unknown escape";
        return std::nullopt;
    }
    const std::optional<unsigned> unit = hexQuad(json, at + 2);
    if (!unit) {
        problem = "malformed \\u escape";
        return std::nullopt;
    }
    if (*unit >= 0xDC00 && *unit <= 0xDFFF) {
        problem = "lone low surrogate escape";
        return std::nullopt;
    }
    if (*unit >= 0xD800 && *unit <= 0xDBFF) {
        const bool followed = at + 7 < json.size() && json[at + 6] == '\\' && json[at + 7] == 'u';
        const std::optional<unsigned> low = followed ? hexQuad(json, at + 8) : std::nullopt;
        if (!low || *low < 0xDC00 || *low > 0xDFFF) {
            problem = "lone high surrogate escape";
            return std::nullopt;
        }
        return at + 12;
    }
    return at + 6;
}

// Checks the string whose opening quote is at `at`; returns the index after its closing quote (an
// unclosed string is the parser's to report), or nothing.
std::optional<qsizetype> stringEnd(const QByteArray& json, qsizetype at, std::string& problem) {
    qsizetype i = at + 1;
    while (i < json.size() && json[i] != '"') {
        if (static_cast<unsigned char>(json[i]) < 0x20) {
            problem = "unescaped control character in a string";
            return std::nullopt;
        }
        if (json[i] != '\\') {
            ++i;
            continue;
        }
        const std::optional<qsizetype> next = escapeEnd(json, i, problem);
        if (!next) {
            problem += " in a string";
            return std::nullopt;
        }
        i = *next;
    }
    return i + 1;
}

// Checks the number starting at `at`; returns the index after it, or nothing.
std::optional<qsizetype> numberEnd(const QByteArray& json, qsizetype at, std::string& problem) {
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?$"));
    qsizetype end = at;
    while (end < json.size() && isNumberCharacter(json[end]))
        ++end;
    const QByteArray text = json.sliced(at, end - at);
    if (!number.match(QString::fromLatin1(text)).hasMatch()) {
        problem = "malformed number \"" + text.toStdString() + "\"";
        return std::nullopt;
    }
    return end;
}

} // namespace

std::optional<std::string> strictJsonViolation(const QByteArray& json) {
    qsizetype i = 0;
    std::string problem;
    while (i < json.size()) {
        const char c = json[i];
        std::optional<qsizetype> next = i + 1;
        if (c == '"')
            next = stringEnd(json, i, problem);
        else if (c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9'))
            next = numberEnd(json, i, problem);
        if (!next)
            return problem;
        i = *next;
    }
    return std::nullopt;
}

} // namespace pylon
