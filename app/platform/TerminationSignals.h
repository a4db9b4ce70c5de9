#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace pylon {

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the main thread, so the program can shut
// down through its event loop (queued log lines written, settings synced). One instance at a time;
// the default handlers return when it is destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // "SIGTERM" and so on.
    static QString name(int signalNumber);

signals:
    void received(int signalNumber);

private:
    void drain();
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace pylon
