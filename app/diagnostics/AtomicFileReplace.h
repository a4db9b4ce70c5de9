#pragma once

#include <QString>

namespace pylon {

// The name of the file written beside `destination` before it is renamed over it.
QString replacementStagingPath(const QString& destination);

// Puts a copy of the file `source` at `destination` in one step: the copy is written beside the
// destination (replacementStagingPath) and then renamed over it, so whatever was at the
// destination stays untouched until the new file is complete, and stays as it was if anything
// fails. A staging file we created is removed on failure. Only a regular file or a symbolic link
// (replaced itself, never its target) is replaced: a named pipe, device, socket or folder at the
// destination is refused. The new file is 0600. Saves to the same destination at the same moment
// take turns, each leaving a whole file. Throws ReportFileError.
void replaceFileAtomically(const QString& source, const QString& destination);

} // namespace pylon
