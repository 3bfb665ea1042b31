#include "platform/strmSocket.h"

#include "platform/msgThread.h"
#include "platform/sockNotifier.h"

#include <asio/buffer.hpp>
#include <asio/ip/address_v4.hpp>
#include <asio/ip/tcp.hpp>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using asio::ip::tcp;

namespace {
// A signal that cuts a connect's wait short leaves the connection to be made
// in the background: waits for it and returns its outcome.
asio::error_code FinishConnect(tcp::socket& socket) {
    asio::error_code ec;
    do {
        socket.wait(tcp::socket::wait_write, ec);
    } while (ec == asio::error::interrupted);
    if (ec) {
        return ec;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket.native_handle(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
    }
    return asio::error_code(error, asio::system_category());
}
} // namespace

struct strmSocket::impl {
    impl(asio::io_context& context, strmSocket& owner)
        : socket(context), notifier(context, [&owner](int err) { owner.OnReceive(err); }) {}

    tcp::socket socket;
    sockNotifier notifier;
};

strmSocket::strmSocket(msgThread& thread)
    : boundThread(thread), io(std::make_unique<impl>(thread.Context(), *this)) {
    boundThread.Attach(this);
}

strmSocket::~strmSocket() {
    boundThread.Detach(this);
    Close();
}

bool strmSocket::Create(unsigned int port) {
    if (IsOpen()) {
        return false;
    }
    asio::error_code ec;
    io->socket.open(tcp::v4(), ec);
    if (!ec) {
        io->socket.bind(tcp::endpoint(tcp::v4(), static_cast<std::uint16_t>(port)), ec);
    }
    if (ec) {
        io->socket.close(ec);
        return false;
    }
    Opened();
    return true;
}

bool strmSocket::Connect(const std::string& host, unsigned int port) {
    if (!IsOpen() && !Create()) {
        return false;
    }
    const auto peerPort = static_cast<std::uint16_t>(port);
    asio::error_code ec;
    std::vector<tcp::endpoint> targets;
    const asio::ip::address_v4 dotted = asio::ip::make_address_v4(host, ec);
    if (!ec) {
        targets.emplace_back(dotted, peerPort);
    } else {
        tcp::resolver resolver(io->socket.get_executor());
        for (const auto& found : resolver.resolve(tcp::v4(), host, std::to_string(peerPort),
                                                  tcp::resolver::numeric_service, ec)) {
            targets.push_back(found.endpoint());
        }
    }
    for (const tcp::endpoint& target : targets) {
        io->socket.connect(target, ec);
        if (ec == asio::error::interrupted) {
            ec = FinishConnect(io->socket);
        }
        if (!ec) {
            return true;
        }
    }
    return false;
}

int strmSocket::Send(const std::uint8_t* bytes, int count) {
    if (count < 0 || !IsOpen()) {
        return -1;
    }
    int sent = 0;
    while (sent < count) {
        asio::error_code ec;
        const std::size_t n = io->socket.send(
            asio::buffer(bytes + sent, static_cast<std::size_t>(count - sent)), 0, ec);
        if (ec == asio::error::interrupted) {
            continue;
        }
        if (ec) {
            Ended(ec.value());
            return -1;
        }
        sent += static_cast<int>(n);
    }
    return count;
}

int strmSocket::Receive(std::uint8_t* buffer, int count) {
    if (count <= 0 || !IsOpen()) {
        return -1;
    }
    for (;;) {
        asio::error_code ec;
        const std::size_t n =
            io->socket.receive(asio::buffer(buffer, static_cast<std::size_t>(count)), 0, ec);
        if (!ec) {
            return static_cast<int>(n);
        }
        if (ec == asio::error::interrupted) {
            continue;
        }
        if (ec == asio::error::eof) {
            Ended(0);
            return 0;
        }
        Ended(ec.value());
        return -1;
    }
}

void strmSocket::ArmReceive() {
    io->notifier.Arm(io->socket);
}

void strmSocket::Shutdown() {
    std::lock_guard<std::mutex> guard(fdLock);
    if (openFd >= 0) {
        ::shutdown(openFd, SHUT_RDWR);
    }
}

void strmSocket::Close() {
    {
        std::lock_guard<std::mutex> guard(fdLock);
        openFd = -1;
    }
    io->notifier.Reset();
    asio::error_code ec;
    io->socket.close(ec);
}

bool strmSocket::IsOpen() const {
    return io->socket.is_open();
}

void strmSocket::OnReceive(int) {}

void strmSocket::OnClose(int) {}

// Takes over a freshly accepted connection, unless it was reset or failed while
// it waited to be accepted.
bool strmSocket::Adopt(int fd) {
    int pending = 0;
    socklen_t size = sizeof(pending);
    asio::error_code ec;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &size) != 0 || pending != 0) {
        ::close(fd);
        return false;
    }
    io->socket.assign(tcp::v4(), fd, ec);
    if (ec) {
        ::close(fd);
        return false;
    }
    Opened();
    return true;
}

// Every frame goes out in one Send, so small frames sent one after the other
// (a reply, then the next message) must not wait for the peer's delayed
// acknowledgement.
void strmSocket::Opened() {
    asio::error_code ignored;
    io->socket.set_option(tcp::no_delay(true), ignored);
    std::lock_guard<std::mutex> guard(fdLock);
    openFd = io->socket.native_handle();
    ended = false;
}

void strmSocket::Ended(int err) {
    if (ended) {
        return;
    }
    ended = true;
    io->notifier.Post([this, err] { OnClose(err); });
}
