#pragma once

#include <QString>

namespace pylon::ui {

// The ellipsis and arrow the interface uses, spelled once.
inline const QString ellipsis = QStringLiteral("\u2026");
inline const QString rightArrow = QStringLiteral("\u2192");

// `text` with its mnemonic marker ("&") taken out, as the entry or button reads ("&&" is one "&").
inline QString withoutMnemonic(QString text) {
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// `text` with a mnemonic on the first `letter` found in it (none when it has no such letter).
inline QString withMnemonic(const QString& text, QChar letter) {
    QString marked = QString(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
    const qsizetype at = marked.indexOf(letter);
    if (at >= 0)
        marked.insert(at, QLatin1Char('&'));
    return marked;
}

} // namespace pylon::ui
