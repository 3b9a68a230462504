#include "TerminationSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

int g_fd = -1; // the eventfd the handler adds to

extern "C" void onTermination(int) {
    const int saved = errno;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(g_fd, &one, sizeof one);
    errno = saved;
}

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent), m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (m_fd < 0)
        return; // the signals keep their default actions
    g_fd = m_fd;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPending);
    struct sigaction action {};
    action.sa_handler = onTermination;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) {
        struct sigaction before {};
        if (signal == SIGHUP && sigaction(SIGHUP, nullptr, &before) == 0 &&
            before.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    if (m_fd < 0)
        return;
    for (const int signal : kSignals) {
        struct sigaction now {};
        if (sigaction(signal, nullptr, &now) == 0 && now.sa_handler == onTermination)
            std::signal(signal, SIG_DFL);
    }
    g_fd = -1;
    close(m_fd);
}

void TerminationSignals::readPending() {
    std::uint64_t count = 0;
    if (read(m_fd, &count, sizeof count) == sizeof count && count > 0)
        emit requested();
}
