#pragma once
// SIGTERM and SIGHUP (a logout, a closed terminal, `kill`) brought into the event loop: the
// signal handler only writes the signal's number into a pipe (a self-pipe: nothing else is
// safe inside a handler); a socket notifier reads it in the loop, which emits received().
#include <QObject>
#include <memory>

class QSocketNotifier;

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one object at a time.
    explicit TerminationSignals(QObject* parent = nullptr);
    // Puts the default handlers back.
    ~TerminationSignals() override;

signals:
    void received(int signal);

private:
    void readPipe();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
