#include "engine/Termination.h"

#include <QSocketNotifier>

#include <ibase.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace engine {

namespace {

int g_pipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte into the pipe.
void notify()
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
}

void onSignal(int)
{
    notify();
}

int declineShutdown(const int reason, const int, void *)
{
    if (reason != fb_shutrsn_signal)
        return 0;
    notify();
    return 1; // non-zero: the library does not shut down
}

} // namespace

void handleTerminationSignals(QObject *context, std::function<void()> handler)
{
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, handler = std::move(handler)] {
        char buf[16];
        while (::read(g_pipe[0], buf, sizeof buf) > 0) {
        }
        // The first signal ends the program; a second one while it ends
        // changes nothing.
        notifier->setEnabled(false);
        handler();
    });

    // Ours first, for a signal before the library installs its own; the
    // library's own handler then asks the callback, which declines.
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    ISC_STATUS_ARRAY status;
    fb_shutdown_callback(status, declineShutdown, fb_shut_confirmation, nullptr);
}

} // namespace engine
