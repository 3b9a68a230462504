#pragma once
// TerminationSignals: SIGTERM, SIGHUP and SIGINT, which would end the program on the
// spot and lose what the window has not written, become a Qt signal on the window's
// thread, so the window closes through its own path and writes its settings. The handler
// only adds to an eventfd (async-signal-safe); a socket notifier reads it in whichever
// event loop runs, an operation's too. A second signal of the same kind ends the program
// at once, as it would without the handler, for a close that is stuck. A hang-up the
// program was started to ignore (nohup) stays ignored.

#include <QObject>

class QSocketNotifier;

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override; // the signals' default actions are back

signals:
    void requested();

private:
    void readPending();

    int m_fd;
    QSocketNotifier *m_notifier = nullptr;
};
