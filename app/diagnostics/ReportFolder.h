#pragma once

#include <QString>
#include <memory>

namespace pylon {

// The private folder one diagnostic report is built in: "<base>/report-XXXXXX", a unique name
// made by mkdtemp with mode 0700 below a base folder that is made 0700 as well. While the object
// lives its folder is locked (flock on the folder), so reports built at the same moment, in this
// process or another, never touch each other's files; the folder goes with remove() or, at the
// latest, with the object. A folder left by a report that could not clean up (a crash, a kill)
// is no longer locked and is cleared by the next report, or at the application's start.
class ReportFolder {
public:
    // Throws ReportFileError when the base or the folder cannot be made.
    static std::shared_ptr<ReportFolder> create(const QString& base);
    ~ReportFolder();
    ReportFolder(const ReportFolder&) = delete;
    ReportFolder& operator=(const ReportFolder&) = delete;

    const QString& path() const { return m_path; }
    // Removes the folder with everything in it; later calls do nothing.
    void remove();

private:
    ReportFolder(QString path, int lockFd);

    QString m_path;
    int m_lockFd = -1;
};

// Removes the report folders below `base` whose report no longer runs (their lock is free);
// returns how many went. A missing base is nothing to clear.
int clearLeftoverReportFolders(const QString& base);

} // namespace pylon
