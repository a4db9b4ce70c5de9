#pragma once

#include <QString>

namespace pylon {

// Writes a ZIP archive at `archivePath` (replacing any file there) that holds the folder `folder`
// itself as its one top entry, with everything below it: "<folder name>/", "<folder name>/a.txt",
// ... Throws DiagnosticError (zipCreationFailed) with libzip's reason.
void createZip(const QString& folder, const QString& archivePath);

} // namespace pylon
