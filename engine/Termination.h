#pragma once

#include <QObject>
#include <functional>

namespace engine {

// The client library catches SIGTERM and SIGINT itself and shuts every
// connection down, leaving the program running on dead connections. This
// takes both signals over: the library's shutdown is declined, and handler
// runs on context's thread from its event loop, where it can roll back and
// end the program in order. Call once, from the main thread.
void handleTerminationSignals(QObject *context, std::function<void()> handler);

} // namespace engine
