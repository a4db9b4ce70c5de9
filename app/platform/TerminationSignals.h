#pragma once

#include <QObject>

class QSocketNotifier;

namespace pylon {

// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so the program can shut down
// through its event loop. One instance at a time; the default handlers return when it is destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void drain();
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace pylon
