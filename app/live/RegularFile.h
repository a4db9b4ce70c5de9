#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace pylon {

// The contents of the regular file at `path` if it has at most `limit` bytes; nothing for anything else.
// The last component is not followed when it is a symbolic link, a FIFO or device is never waited on,
// and the buffer is sized by the file, not by the limit. A file that grows while it is read is read on
// up to the limit; a read that returns less than asked is taken as the end.
std::optional<QByteArray> readSmallRegularFile(const QString& path, qint64 limit);
// The same for `path` (in the file system's encoding) relative to the open folder `directory`, which
// spares the kernel a walk of the folder's own path for each file read in it.
std::optional<QByteArray> readSmallRegularFileAt(int directory, const char* path, qint64 limit);

} // namespace pylon
