#include "platform/acptSocket.h"

#include "platform/msgThread.h"
#include "platform/sockWatch.h"
#include "platform/strmSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

acptSocket::acptSocket(msgThread& thread)
    : watch(std::make_unique<sockWatch>(thread, [this](int err) { OnAccept(err); })) {}

acptSocket::~acptSocket() {
    Close();
}

bool acptSocket::Listen(unsigned int port, int backlog, std::error_code* failure) {
    if (fd >= 0) {
        return false;
    }
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    const int on = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(fd, backlog) != 0) {
        if (failure != nullptr) {
            *failure = std::error_code(errno, std::system_category());
        }
        Close();
        return false;
    }
    watch->Arm(fd);
    return true;
}

bool acptSocket::Accept(strmSocket& target) {
    if (fd < 0) {
        return false;
    }
    bool accepted = false;
    if (!target.IsOpen()) {
        int connection = -1;
        do {
            connection = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        } while (connection < 0 && errno == EINTR);
        accepted = connection >= 0 && target.Adopt(connection);
    }
    watch->Arm(fd);
    return accepted;
}

void acptSocket::Close() {
    watch->Reset();
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

unsigned int acptSocket::LocalPort() const {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

void acptSocket::OnAccept(int) {}
