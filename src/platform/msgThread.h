#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>

class poolCtx;
class strmSocket;
namespace asio {
class io_context;
}

// A thread with a FIFO message queue of its own (one per consumer session).
//
// The loop runs an asio::io_context: messages are posted to it, and the
// sockets bound to the thread are Asio sockets on it. The context comes from
// a pool (poolCtx) and goes back to it when the object is deleted, so a new
// session does not pay for a new reactor.
//
// Messages are numbered and carry two parameters. Handlers run one at a time on
// the thread, in the order the messages were posted; a message posted by a
// handler runs after that handler has returned and after every message queued
// before it. The sockets bound to the thread (strmSocket, acptSocket) deliver
// their notifications on it, in the same queue.
//
// Lifetime. A thread object started with Start() is allocated with new and
// belongs to its thread from then on: when its loop ends, ExitInstance runs
// and the object is deleted on its own thread. That thread then waits for the
// next Start() (a few such threads are kept) rather than ending, so a new
// session does not pay for a new operating-system thread. After a successful Start(),
// other threads may only post to it or stop it, and only while they know it is
// still alive; so set up everything the thread needs (sockets accepted, fields
// set, ArmReceive called) before Start(). A thread object run with Run()
// belongs to the caller and is not deleted.
//
// A listening socket is bound to a thread object that the application keeps
// and runs with Run() (on a std::thread of its own, or on the main thread);
// the application destroys the socket after that loop has ended, then the
// thread object.
//
// Process stop. StopAll() stops every live thread: queued messages are
// dropped, the connections of its bound stream sockets are shut down (a
// blocked Send or Receive returns at once), and from then on Start() refuses
// new threads. Any thread may call it, a handler too. WaitAll() returns once
// every loop has ended and every started object has been deleted; it then
// accepts new threads again, and the waiting operating-system threads have
// ended. It is never called from a msgThread. A clean exit is StopAll() then
// WaitAll().
class msgThread {
public:
    // Worker threads kept parked for the next Start() at most.
    static constexpr std::size_t MAX_PARKED = 64;

    msgThread();
    virtual ~msgThread();
    msgThread(const msgThread&) = delete;
    msgThread& operator=(const msgThread&) = delete;

    // Starts a new thread running the loop. False when the thread cannot be
    // started, the process is stopping, or the loop was already launched; the
    // object then still belongs to the caller. Called by the creator.
    bool Start();

    // Runs the loop on the calling thread until it ends, for a thread object
    // that its creator keeps (for instance one that serves a listening socket
    // owned elsewhere, run on a std::thread of the application). Returns at
    // once if the loop was already launched.
    void Run();

    // Queues a message. Any thread.
    void PostThreadMessage(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam);

    // Ends the loop when the current handler returns; messages still queued
    // are dropped. Called by the thread's own handlers.
    void Quit();

    // Ends the loop as soon as possible and shuts down the connections of the
    // bound stream sockets, so that a blocked Send or Receive returns. Any
    // thread.
    void Stop();

    // The event queue that the loop runs; sockets bind to it.
    asio::io_context& Context();

    static void StopAll();
    static void WaitAll();

protected:
    // Runs on the thread before the loop; false skips the loop.
    virtual bool InitInstance();
    // Runs on the thread after the loop, also when InitInstance failed.
    virtual void ExitInstance();
    // Handles one message; the default ignores it.
    virtual void OnMessage(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam);

private:
    friend class strmSocket;
    void Attach(strmSocket* socket);
    void Detach(strmSocket* socket);
    // Runs InitInstance, the loop and ExitInstance. On the loop's thread.
    void Loop();
    // The body of a worker thread (`self`, private to the implementation):
    // runs `first`, then every object handed to it while it is parked.
    static void WorkerMain(void* self, msgThread* first);

    std::unique_ptr<poolCtx> context;
    bool launched = false; // guarded by the thread registry's lock

    std::mutex socketLock;
    std::set<strmSocket*> sockets;
};
