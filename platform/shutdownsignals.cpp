#include "platform/shutdownsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zentrio {

namespace {

    int g_pipe[2] = { -1, -1 };

    extern "C" void onShutdownSignal(int)
    {
        const char byte = 1;
        (void)!::write(g_pipe[0], &byte, 1);
    }

} // namespace

ShutdownSignals::ShutdownSignals(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        (void)!::read(g_pipe[1], &byte, 1);
        Q_EMIT shutdownRequested();
    });
    struct sigaction action {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

ShutdownSignals::~ShutdownSignals()
{
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
}

} // namespace zentrio
