#include "worklist/IncomingConnections.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "worklist/ServiceLog.h"

namespace kesola::worklist {

namespace {

constexpr unsigned char kAssociateRequestPdu = 0x01;
constexpr std::size_t kPduHeaderBytes = 6;
// A request larger than this is handed on once this much has come; dcmtk reads the rest itself.
constexpr std::size_t kRequestBytesWaitedFor = 64 * 1024;
// Larger than any association request a console sends: noise, or a length meant to hold a thread.
constexpr std::size_t kLargestRequest = 1024 * 1024;
// How often a request that has begun to come, and not whole yet, is looked at again.
constexpr auto kRecheck = std::chrono::milliseconds(20);

QString addressOf(const sockaddr_in& address) {
    std::array<char, INET_ADDRSTRLEN> text{};
    inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size());
    return QString::fromLatin1(text.data());
}

}  // namespace

IncomingConnections::~IncomingConnections() {
    for (const Waiting& w : waiting_) ::close(w.socket);
    if (listener_ >= 0) ::close(listener_);
}

QString IncomingConnections::listen(quint16 port) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, SOMAXCONN) != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    return {};
}

void IncomingConnections::acceptAll() {
    for (;;) {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        const int socket = accept4(listener_, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
        if (socket < 0) return;  // none left (EAGAIN), or one that went away before it was taken
        // Every answer goes out at once: with Nagle's algorithm a response written in two pieces (its command set,
        // then its dataset) waited for the scanner's delayed acknowledgement, 40 ms each time.
        const int on = 1;
        setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const Clock::time_point now = Clock::now();
        waiting_.push_back({socket, addressOf(address), now + std::chrono::seconds(kAssociationRequestSeconds)});
        if (waiting_.size() > static_cast<std::size_t>(kMaxWaitingConnections)) {
            close(0, QStringLiteral("接続を閉じました: 関連付け要求を待つ接続が %1 を超えました")
                         .arg(kMaxWaitingConnections));
        }
    }
}

IncomingConnections::Request IncomingConnections::peekRequest(int socket) {
    std::array<unsigned char, kPduHeaderBytes> header{};
    const ssize_t got = recv(socket, header.data(), header.size(), MSG_PEEK | MSG_DONTWAIT);
    if (got == 0) return Request::Ended;
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? Request::Nothing : Request::Ended;
    if (header[0] != kAssociateRequestPdu) return Request::NotARequest;
    if (got < static_cast<ssize_t>(kPduHeaderBytes)) return Request::Begun;
    const std::size_t length = (std::size_t{header[2]} << 24) | (std::size_t{header[3]} << 16) |
                               (std::size_t{header[4]} << 8) | std::size_t{header[5]};
    if (length > kLargestRequest) return Request::TooLarge;
    int buffered = 0;
    ioctl(socket, FIONREAD, &buffered);
    const bool whole = static_cast<std::size_t>(buffered) >= std::min(kPduHeaderBytes + length, kRequestBytesWaitedFor);
    return whole ? Request::Complete : Request::Begun;
}

void IncomingConnections::close(std::size_t index, const QString& why) {
    if (!why.isEmpty()) logLine(QStringLiteral("%1: %2").arg(waiting_[index].peer, why));
    ::close(waiting_[index].socket);
    waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(index));
}

bool IncomingConnections::lookAt(std::size_t index, bool peerClosed, Clock::time_point now) {
    Waiting& w = waiting_[index];
    const bool late = now >= w.deadline;
    switch (peekRequest(w.socket)) {
        case Request::Complete:
            return true;
        case Request::NotARequest:
            close(index, QStringLiteral("接続を閉じました: DICOM の関連付け要求ではありません"));
            return false;
        case Request::TooLarge:
            close(index,
                  QStringLiteral("接続を閉じました: 関連付け要求の長さが %1 バイトを超えます").arg(kLargestRequest));
            return false;
        case Request::Ended:
            close(index, {});  // a check that the port is open
            return false;
        case Request::Begun:
            if (peerClosed) {
                close(index, QStringLiteral("関連付け要求の途中で接続が切れました"));
                return false;
            }
            w.begun = true;
            w.recheck = now + kRecheck;
            break;
        case Request::Nothing:
            break;
    }
    if (late) {
        close(index, QStringLiteral("接続を閉じました: %1 秒のあいだに関連付け要求が届きませんでした")
                         .arg(kAssociationRequestSeconds));
    }
    return false;
}

IncomingConnections::Ready IncomingConnections::next() {
    for (;;) {
        Clock::time_point now = Clock::now();
        std::vector<pollfd> polled{{listener_, POLLIN, 0}};
        Clock::time_point wake = now + std::chrono::hours(1);
        for (const Waiting& w : waiting_) {
            // A request that has begun to come is looked at again after kRecheck, not whenever its socket is
            // readable: that would be at once, again and again, until the rest comes.
            const bool resting = w.begun && w.recheck > now;
            polled.push_back({w.socket, static_cast<short>(resting ? POLLRDHUP : POLLIN | POLLRDHUP), 0});
            wake = std::min(wake, resting ? std::min(w.deadline, w.recheck) : w.deadline);
        }
        const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        poll(polled.data(), polled.size(), static_cast<int>(std::max<long long>(0, timeout)));
        now = Clock::now();
        // From the newest, so that closing one leaves the indexes before it as they are.
        for (std::size_t i = waiting_.size(); i-- > 0;) {
            const Waiting& w = waiting_[i];
            const short events = polled[i + 1].revents;
            const bool due = now >= w.deadline || (w.begun && now >= w.recheck);
            if (!events && !due) continue;
            if (lookAt(i, events & (POLLRDHUP | POLLHUP | POLLERR), now)) {
                const Ready ready{waiting_[i].socket, waiting_[i].peer};
                waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(i));
                return ready;
            }
        }
        if (polled[0].revents & POLLIN) acceptAll();
    }
}

}  // namespace kesola::worklist
