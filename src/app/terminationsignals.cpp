#include "app/terminationsignals.h"

#include <QSocketNotifier>
#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

void setHandler(int signal, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        qWarning("no pipe for the termination signals: they end the program at once");
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    setHandler(SIGTERM, onSignal);
    setHandler(SIGHUP, onSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (g_pipe[0] < 0)
        return;
    setHandler(SIGTERM, SIG_DFL);
    setHandler(SIGHUP, SIG_DFL);
    m_notifier.reset();  // before its descriptor closes
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationSignals::readPipe()
{
    unsigned char number = 0;
    while (::read(g_pipe[0], &number, 1) == 1)
        emit received(number);
}
