#pragma once

#include <exception>
#include <functional>
#include <memory>

namespace kesola {

class Database;

// What the user-interface side shows while a call waits for the store (a busy cursor, a note); the program installs
// one, tests and tools need none. Begins and ends come in pairs and may nest.
class CallWaitObserver {
  public:
    virtual ~CallWaitObserver() = default;
    virtual void waitBegins() = 0;
    virtual void waitEnds() = 0;
};

// Installs the observer told of every wait of a call made from the user-interface thread; null for none.
void setCallWaitObserver(CallWaitObserver* observer);

// True once a connection's thread was still inside a call when its database was closed, and was left to end on
// its own: a program that closes then ends at once (std::_Exit) rather than tear down what that thread still uses.
bool connectionThreadsLeftBehind();

// The thread that owns one connection and runs, in the order sent, every piece of work for it. Qt's SQL objects
// belong to the thread that made them, so the connection is opened, used and closed there and nothing of it
// leaves. Work sent with call() is waited for: on the user-interface thread in a local event loop that leaves
// the user's input queued, so the windows keep painting and answering the window manager while the store takes its
// time; elsewhere by blocking.
class ConnectionThread {
  public:
    ConnectionThread();
    // Tells the thread to close the connection and end, and waits a little for that; a thread still inside a call
    // (a server that stopped answering) is left to end when the call gives up.
    ~ConnectionThread();
    ConnectionThread(const ConnectionThread&) = delete;
    ConnectionThread& operator=(const ConnectionThread&) = delete;

    // Runs `work` on the thread and waits for it; rethrows what it threw.
    void call(const std::function<void()>& work);
    // Runs `work` on the thread without waiting, with the connection (null once closed); `work` must not throw.
    void post(std::function<void(Database*)> work);
    // Waits at most `milliseconds` for everything sent before to have run (on the user-interface thread, also for
    // what that work sent back to it to have run); true when it has.
    bool settle(int milliseconds);

    // The connection; touched on the thread only.
    std::unique_ptr<Database>& database();

  private:
    struct Lane;
    std::shared_ptr<Lane> lane_;
};

}  // namespace kesola
