#include "core/OrderlyQuit.h"

#include "foundation/FileLogger.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>

namespace pylon {

std::unique_ptr<TerminationSignals> quitOnTerminationSignals(const FileLogger& log) {
    auto handler = std::make_unique<TerminationSignals>();
    // `log` outlives the handler: the caller keeps both for the life of its event loop.
    QObject::connect(handler.get(), &TerminationSignals::received, QCoreApplication::instance(), [&log](int number) {
        log.info(QStringLiteral("Received ") + TerminationSignals::name(number) + QStringLiteral(", quitting"));
        QCoreApplication::quit();
    });
    return handler;
}

} // namespace pylon
