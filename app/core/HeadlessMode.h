#pragma once

#include <QPointer>
#include <QString>
#include <qcoro/qcorotask.h>

namespace pylon {

class PylonController;

// The main job without a window. The coroutines hold the controller through a QPointer and give
// up (1) if it is gone when they resume.
namespace HeadlessMode {

// Takes one status and detects Live afresh, then saves a diagnostic report at `path` and prints
// where; 0 when saved, 1 (with the error on standard error) otherwise.
QCoro::Task<int> saveDiagnosticReport(QPointer<PylonController> controller, QString path);

// Adds `path` to the Wine prefixes searched for Live in the user defaults of this build mode, and says
// so with the Live versions the prefix holds; 0 when the prefix is in the list afterwards, 1 (with the
// reason on standard error) otherwise.
int addWinePrefix(const QString& path);

// Starts the controller and prints the three status lines whenever one of them changes, until
// SIGINT, SIGTERM or SIGHUP; then returns 0.
int runUntilTerminated(PylonController& controller);

} // namespace HeadlessMode
} // namespace pylon
