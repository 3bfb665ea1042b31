#include "gui/stopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPair[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPair[0], &byte, 1);
}

void Handle(void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
} // namespace

stopSignals::stopSignals(std::function<void()> onStop) : act(std::move(onStop)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPair) != 0) {
        return; // the default handlers stay: the signals end the process
    }
    notifier = new QSocketNotifier(signalPair[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &stopSignals::OnSignal);
    Handle(OnStopSignal);
}

stopSignals::~stopSignals() {
    if (notifier == nullptr) {
        return;
    }
    Handle(SIG_DFL);
    delete notifier;
    ::close(signalPair[0]);
    ::close(signalPair[1]);
    signalPair[0] = signalPair[1] = -1;
}

void stopSignals::OnSignal() {
    char byte = 0;
    [[maybe_unused]] const ssize_t read = ::read(signalPair[1], &byte, 1);
    act();
}
