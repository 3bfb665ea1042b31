#pragma once

#include <functional>
#include <memory>

class msgThread;

// The notifications of one socket, delivered on the message thread it is bound
// to, in that thread's queue; those still queued are dropped when the socket
// goes away. Used inside the platform's socket classes only.
//
// A readiness notification is armed explicitly and raised at most once per
// arm, when the socket is readable: data or a waiting connection, the end of
// the stream, or an error. The thread looks at its armed sockets only when its
// queue is empty, so no handler of the thread is reading then: a socket found
// readable is still readable when the notification is answered, and no
// notification is raised for bytes already read.
class sockWatch {
public:
    sockWatch(msgThread& thread, std::function<void(int err)> onReady);
    ~sockWatch();
    sockWatch(const sockWatch&) = delete;
    sockWatch& operator=(const sockWatch&) = delete;

    // Asks for one notification about descriptor `fd`. Any thread, while the
    // socket is alive. Arming an armed watch, or with no descriptor, changes
    // nothing.
    void Arm(int fd);

    // Runs `call` on the socket's thread later, unless the socket is gone by
    // then. Any thread, while the socket is alive.
    void Post(std::function<void()> call);

    // The socket was closed: a pending notification is dropped and the watch
    // can be armed again. Socket's thread (or its creator before the thread
    // runs).
    void Reset();

private:
    friend class msgThread;

    msgThread& thread;
    std::function<void(int err)> ready;
    std::shared_ptr<int> life = std::make_shared<int>(0);
    // Guarded by the thread's state lock.
    bool armed = false;
    int fd = -1;
    unsigned int generation = 0;
};
