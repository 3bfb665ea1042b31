#pragma once

#include <asio/dispatch.hpp>
#include <asio/error.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include <functional>
#include <memory>
#include <poll.h>
#include <utility>

// Delivers the notifications of one socket on the thread that runs its
// io_context, and drops those still queued when the socket goes away. Used
// inside the platform's socket classes only.
//
// A readiness notification is armed explicitly and raised at most once per
// arm, when the socket is readable: data or a waiting connection, the end of
// the stream, or an error. Readiness is checked on the socket's thread when
// the notifier is armed and again when the reactor reports it: the reactor
// may report readiness that it saw before the owner read the bytes (a stale
// event), and such a report only starts a new wait. Only the socket's thread
// reads it, so bytes found waiting then are still there when the notification
// is answered.
class sockNotifier {
public:
    sockNotifier(asio::io_context& ioContext, std::function<void(int err)> onReady)
        : context(ioContext), ready(std::move(onReady)) {}
    sockNotifier(const sockNotifier&) = delete;
    sockNotifier& operator=(const sockNotifier&) = delete;

    // Any thread, while the socket is alive. Arming an armed notifier, or one
    // whose socket is closed, changes nothing.
    template <typename Socket> void Arm(Socket& socket) {
        asio::dispatch(context, [this, alive = std::weak_ptr<int>(life), &socket] {
            if (alive.expired() || armed || !socket.is_open()) {
                return;
            }
            armed = true;
            if (Readable(socket)) {
                // Raised from the queue, never from inside the caller.
                Post([this, arm = generation] { Fire(arm, 0); });
            } else {
                Wait(socket, generation);
            }
        });
    }

    // Runs `call` on the socket's thread later, unless the socket is gone by
    // then. Any thread, while the socket is alive.
    void Post(std::function<void()> call) {
        asio::post(context, [alive = std::weak_ptr<int>(life), call = std::move(call)] {
            if (!alive.expired()) {
                call();
            }
        });
    }

    // The socket was closed: a pending readiness notification is dropped and
    // the notifier can be armed again once the socket is open. Socket's thread
    // (or its creator before that thread runs).
    void Reset() {
        ++generation;
        armed = false;
    }

private:
    template <typename Socket> static bool Readable(Socket& socket) {
        pollfd probe{socket.native_handle(), POLLIN, 0};
        return ::poll(&probe, 1, 0) > 0;
    }

    // Socket's thread, while the notifier is alive.
    template <typename Socket> void Wait(Socket& socket, unsigned int arm) {
        socket.async_wait(Socket::wait_read, [this, alive = std::weak_ptr<int>(life), arm,
                                              &socket](const asio::error_code& ec) {
            if (alive.expired() || ec == asio::error::operation_aborted || arm != generation) {
                return;
            }
            if (ec) {
                Fire(arm, ec.value());
            } else if (Readable(socket)) {
                Fire(arm, 0);
            } else {
                Wait(socket, arm);
            }
        });
    }

    // Socket's thread, while the notifier is alive.
    void Fire(unsigned int arm, int err) {
        if (arm != generation) {
            return;
        }
        armed = false;
        ready(err);
    }

    asio::io_context& context;
    std::function<void(int err)> ready;
    std::shared_ptr<int> life = std::make_shared<int>(0);
    bool armed = false;
    unsigned int generation = 0;
};
