#pragma once

#include <QObject>

class QSocketNotifier;

namespace zentrio {

// Turns SIGTERM and SIGINT (a logout, `kill`, Ctrl+C) into a Qt signal, so
// the program can shut down the way closing its window does instead of
// dying with its settings unsaved. The handler only writes a byte to a pipe;
// the event loop does the rest.
class ShutdownSignals final : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

Q_SIGNALS:
    void shutdownRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace zentrio
