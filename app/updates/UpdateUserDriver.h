#pragma once

#include "updates/AppcastFeed.h"

#include <QString>
#include <functional>

namespace pylon {

// The user's answer to a found update.
enum class UpdateChoice {
    download,         // open the release's download in the browser; nothing is installed by itself
    skipThisVersion,  // remember the version: automatic checks stay quiet about it and anything older
    remindMeLater,    // nothing is remembered; the next scheduled check asks again
    showReleaseNotes, // open the release notes in the browser and ask again
};

// Everything the user is shown about a found update.
struct UpdateFound {
    AppcastItem item;
    QString appName;
    QString currentVersion;      // the running version as people know it (the short version)
    QString currentBuildVersion; // the running build, told apart when both short versions read alike
    bool userInitiated = false;
};

// Shows what a check found and hands back the user's answer; the controller decides what is shown
// and acts on the answer. Each callback is called once, when its dialog goes away; the controller
// starts no other check until then.
class UpdateUserDriver {
public:
    virtual ~UpdateUserDriver() = default;
    virtual void showUpdateFound(const UpdateFound& found, std::function<void(UpdateChoice)> reply) = 0;
    virtual void showUpToDate(const QString& appName, const QString& currentVersion, std::function<void()> done) = 0;
    virtual void showUpdateError(const QString& error, std::function<void()> done) = 0;
};

} // namespace pylon
