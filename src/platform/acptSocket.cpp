#include "platform/acptSocket.h"

#include "platform/msgThread.h"
#include "platform/sockNotifier.h"
#include "platform/strmSocket.h"

#include <asio/ip/tcp.hpp>

#include <cerrno>
#include <sys/socket.h>

using asio::ip::tcp;

struct acptSocket::impl {
    impl(asio::io_context& context, acptSocket& owner)
        : acceptor(context), notifier(context, [&owner](int err) { owner.OnAccept(err); }) {}

    tcp::acceptor acceptor;
    sockNotifier notifier;
};

acptSocket::acptSocket(msgThread& thread) : io(std::make_unique<impl>(thread.Context(), *this)) {}

acptSocket::~acptSocket() {
    Close();
}

bool acptSocket::Listen(unsigned int port, int backlog, std::error_code* failure) {
    tcp::acceptor& acceptor = io->acceptor;
    if (acceptor.is_open()) {
        return false;
    }
    asio::error_code ec;
    acceptor.open(tcp::v4(), ec);
    if (!ec) {
        acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    }
    if (!ec) {
        acceptor.bind(tcp::endpoint(tcp::v4(), static_cast<std::uint16_t>(port)), ec);
    }
    if (!ec) {
        acceptor.listen(backlog, ec);
    }
    if (!ec) {
        acceptor.non_blocking(true, ec);
    }
    if (ec) {
        if (failure != nullptr) {
            *failure = std::error_code(ec.value(), std::system_category());
        }
        Close();
        return false;
    }
    io->notifier.Arm(acceptor);
    return true;
}

bool acptSocket::Accept(strmSocket& target) {
    if (!io->acceptor.is_open()) {
        return false;
    }
    bool accepted = false;
    if (!target.IsOpen()) {
        int fd = -1;
        do {
            fd = ::accept4(io->acceptor.native_handle(), nullptr, nullptr, SOCK_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        accepted = fd >= 0 && target.Adopt(fd);
    }
    io->notifier.Arm(io->acceptor);
    return accepted;
}

void acptSocket::Close() {
    io->notifier.Reset();
    asio::error_code ec;
    io->acceptor.close(ec);
}

unsigned int acptSocket::LocalPort() const {
    asio::error_code ec;
    const tcp::endpoint local = io->acceptor.local_endpoint(ec);
    return ec ? 0 : local.port();
}

void acptSocket::OnAccept(int) {}
