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
// arm, as soon as the socket is readable: data or a waiting connection, the
// end of the stream, or an error. It is raised also when the socket was
// already readable when armed; that is checked here, without relying on how the
// reactor registers a wait.
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
            const unsigned int arm = generation;
            pollfd probe{socket.native_handle(), POLLIN, 0};
            // Only this thread runs the io_context, so no readiness can be
            // consumed by the reactor between this probe and the wait below.
            if (::poll(&probe, 1, 0) > 0) {
                asio::post(context, [this, alive, arm] {
                    if (!alive.expired()) {
                        Fire(arm, 0);
                    }
                });
            } else {
                socket.async_wait(
                    Socket::wait_read, [this, alive, arm](const asio::error_code& ec) {
                        if (!alive.expired() && ec != asio::error::operation_aborted) {
                            Fire(arm, ec.value());
                        }
                    });
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
    // the notifier can be armed again once the socket is open. Socket's thread.
    void Reset() {
        ++generation;
        armed = false;
    }

private:
    // Called only while the notifier is alive.
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
