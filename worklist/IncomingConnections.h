#pragma once

#include <QString>
#include <chrono>
#include <vector>

namespace kesola::worklist {

// How long a connection may take to send its whole association request before it is closed.
inline constexpr int kAssociationRequestSeconds = 5;
// How many connections may wait for their association request at once; the oldest is closed for the next. Every
// socket of the service stays below 1024, which dcmtk's select() needs.
inline constexpr int kMaxWaitingConnections = 512;

// The service's port. Every connection is accepted at once and held, on this one thread, until its whole
// A-ASSOCIATE-RQ has come; only then does it go to a thread that serves associations. So connections that never
// speak (a port scan left open, a switched-off console, hostile peers) cost a socket each and never a scanner's
// turn. Each connection closed here leaves one log line with its address: silent for kAssociationRequestSeconds,
// cut in the middle of its request, or sending something other than an association request. One that closes
// without having sent anything (a check that the port is open) leaves none.
class IncomingConnections {
  public:
    IncomingConnections() = default;
    ~IncomingConnections();
    IncomingConnections(const IncomingConnections&) = delete;
    IncomingConnections& operator=(const IncomingConnections&) = delete;

    // Listens on the port on every IPv4 address. Returns the reason when it cannot; "" otherwise.
    QString listen(quint16 port);

    // A connection whose association request lies whole in its socket's buffer, so that reading it never waits.
    struct Ready {
        int socket = -1;
        QString peer;  // its address
    };
    // Waits for the next such connection.
    Ready next();

  private:
    using Clock = std::chrono::steady_clock;
    struct Waiting {
        int socket;
        QString peer;
        Clock::time_point deadline;
        bool begun = false;           // part of a request has come
        Clock::time_point recheck{};  // when a request that has begun to come is looked at again
    };
    // What a connection has sent so far, looked at without taking it from the socket.
    enum class Request { Nothing, Ended, Begun, Complete, NotARequest, TooLarge };
    static Request peekRequest(int socket);

    void acceptAll();
    // Looks at one waiting connection; true when it is ready to be handed on.
    bool lookAt(std::size_t index, bool peerClosed, Clock::time_point now);
    void close(std::size_t index, const QString& why);

    int listener_ = -1;
    std::vector<Waiting> waiting_;  // oldest first
};

}  // namespace kesola::worklist
