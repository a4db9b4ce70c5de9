#pragma once

#include <QtGlobal>
#include <qcoro/qcorotask.h>

namespace pylon {

// What `Pylon --status` does: one status fetch from the companion on `port`, then the three status
// lines (and, with `json`, the status document) on standard output; 0 when a status arrived, 1
// otherwise, with the reason on standard error. It stands alone: no controller, no settings, no
// status cache, no log file, so the small Pylon program answers it without loading the rest.
//
// The service manager is not asked: the one state of its that the lines show, an approval the
// user still has to give, exists only for the login items of macOS; systemd and the process
// backend never ask for one.
QCoro::Task<int> printStatusOnce(quint16 port, bool json);

} // namespace pylon
