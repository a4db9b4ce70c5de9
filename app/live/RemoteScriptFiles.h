#pragma once

#include <QString>

namespace pylon {

// File-system steps of the control-script installation. They run on a worker thread, never follow
// a symbolic link they remove or replace, and throw AbletonSetupManager::FileError naming the path.

// Whether anything (also a dangling symbolic link) is at `path`.
bool itemExists(const QString& path);

// Creates `path` and its missing parents; an existing folder is fine.
void makeFolder(const QString& path);

// Removes the item at `path`: a symbolic link as a link (its target is never touched), a folder with
// its contents (links inside removed as links). Nothing there is fine.
void removeItem(const QString& path);

// Replaces the item at `destination` with a recursive copy of the folder `source`. The copy is made
// in a hidden sibling of `destination` and renamed into place only when complete; on any failure
// the previous item at `destination` stays as it was and the partial copy is removed.
void replaceWithCopy(const QString& source, const QString& destination);

} // namespace pylon
