#pragma once

#include <QString>

namespace pylon {

// Compares version strings numerically: runs of digits by value, other characters as they are
// ("12.10" > "12.9", "12.1b10" > "12.1b9"). Negative, zero or positive like strcmp.
int compareVersionsNumerically(const QString& a, const QString& b);

} // namespace pylon
