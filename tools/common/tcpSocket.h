#pragma once

#include <cstdint>
#include <string>

// Plain blocking TCP sockets for the companion tools: descriptors made,
// connected and bound here belong to the caller, who closes them.
class tcpSocket {
public:
    // Connects to `host` (an address or a host name) and `port`. Returns the
    // descriptor, or -1 with `error` saying why.
    static int Connect(const std::string& host, std::uint16_t port, std::string& error);
    // Listens on `address` (an IPv4 or IPv6 address; "0.0.0.0" for every
    // local address) and `port` (0: a port the system chooses) with
    // SO_REUSEADDR. Returns the descriptor, or -1 with `error` saying why.
    static int Listen(const std::string& address, std::uint16_t port, int backlog,
                      std::string& error);
    // The local port a socket is bound to; 0 if unknown.
    static std::uint16_t LocalPort(int descriptor);
    // Sends small writes at once (TCP_NODELAY): the protocol's messages are
    // small frames sent one after the other, and each side waits for the
    // other's answer, so holding one back for an acknowledgement costs a
    // delayed-acknowledgement timer (about 40 ms) per exchange.
    static void NoDelay(int descriptor);
    // Receive and send timeouts of a connection; 0 seconds waits for ever.
    static void SetTimeouts(int descriptor, unsigned seconds);
    // Parses a decimal port, 0 to 65535.
    static bool ParsePort(const std::string& text, std::uint16_t& port);
};
