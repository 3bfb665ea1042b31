#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

class sockWatch;
class strmSocket;

// A thread with a FIFO message queue of its own (one per consumer session).
//
// The loop runs the queue; when the queue is empty it waits, in one poll(2),
// for its armed sockets and for a post from another thread (an eventfd that
// is written only while the loop waits, and that the operating-system thread
// keeps from one object to the next). A frame that arrives costs one wake-up.
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
    friend class sockWatch;
    void Attach(strmSocket* socket);
    void Detach(strmSocket* socket);
    void ArmWatch(sockWatch& watch, int fd);
    void DisarmWatch(sockWatch& watch);
    // Queues a call. Any thread.
    void Enqueue(std::function<void()> call);
    // Ends the loop's poll, if it is in one. With stateLock held.
    void WakeLocked();
    // Runs the loop with `wake` as its eventfd.
    void Loop(int wake);
    // Waits until a post or an armed socket needs the loop, and queues the
    // notifications of the sockets found readable. Loop only.
    void WaitForWork();
    // The body of a worker thread (`self`, private to the implementation):
    // runs `first`, then every object handed to it while it is parked.
    static void WorkerMain(void* self, msgThread* first);

    bool launched = false; // guarded by the thread registry's lock

    std::mutex stateLock; // guards the members below
    int wakeFd = -1;      // eventfd lent to the loop: a post from another thread while it waits
    std::deque<std::function<void()>> queue;
    std::vector<sockWatch*> armed;
    bool waiting = false; // the loop is in poll
    bool woken = false;   // wakeFd has been written since
    bool stopping = false;
    bool quitting = false;

    std::mutex socketLock;
    std::set<strmSocket*> sockets;
};
