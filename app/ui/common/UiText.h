#pragma once

#include <QString>

namespace pylon::ui {

// The ellipsis and arrow the interface uses, spelled once.
inline const QString ellipsis = QStringLiteral("\u2026");
inline const QString rightArrow = QStringLiteral("\u2192");

} // namespace pylon::ui
