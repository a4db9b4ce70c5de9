#pragma once

#include "platform/linux/LaunchAgentJob.h"

#include <QString>

namespace pylon::SystemdUnitFile {

// The user unit for `job`, with `description` as its Description. The companion posts keys to the
// display, so the unit belongs to the graphical session: started with it (once enabled), after it,
// and stopped with it. A job that launchd keeps alive restarts on failure within systemd's default
// start limits, except when the launcher reports exit status 127 (no node to run the companion).
QString text(const LaunchAgentJob& job, const QString& description);

// One ExecStart word: double-quoted with C escapes, "%" and "$" doubled so systemd takes the text
// literally (paths with spaces stay one word).
QString quoteExecWord(const QString& word);

// The object path of the unit `unitName` on systemd's bus: each byte other than an ASCII letter
// or (after the first) digit becomes "_" and two lower-case hex digits.
QString objectPath(const QString& unitName);

} // namespace pylon::SystemdUnitFile
