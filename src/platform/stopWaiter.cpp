#include "platform/stopWaiter.h"

#include <pthread.h>

stopWaiter::stopWaiter() {
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

void stopWaiter::Wait() const {
    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
}
