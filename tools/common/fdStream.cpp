#include "common/fdStream.h"

#include <algorithm>
#include <cerrno>
#include <sys/socket.h>

int fdStream::Send(const std::uint8_t* bytes, int count) {
    int sent = 0;
    while (sent < count) {
        const ssize_t n = ::send(fd, bytes + sent, static_cast<size_t>(count - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        sent += static_cast<int>(n);
    }
    return count;
}

int fdStream::Receive(std::uint8_t* buffer, int count) {
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, static_cast<size_t>(std::min(count, chunk)), 0);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        timedOut = errno == EAGAIN || errno == EWOULDBLOCK;
        return -1;
    }
}
