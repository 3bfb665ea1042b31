#pragma once

#include "platform/strmSocket.h"
#include "wire/packetFrame.h"

#include <cstdint>

class SymKey;
class msgThread;
class mssgPacket;

constexpr std::uint8_t BANK_SOCKET_ID = 111;
constexpr std::uint8_t CONSUMER_SOCKET_ID = 133;

// One connection of a session: to the consumer (CONSUMER_SOCKET_ID) or to the
// bank (BANK_SOCKET_ID). It carries framed packets, holds the connection's
// session key, and tells its owner thread that a packet can be read by posting
// TM_CONSUMER_DATA or TM_BANK_DATA. It does no protocol work of its own.
//
// Arrival: once the connection is made and `owner` is set, whoever made the
// connection calls ArmReceive() (the spawner for the consumer socket, the
// session for the bank socket). Each notification posts one message, each
// message is answered by exactly one ReceivePacket, and ReceivePacket arms the
// next notification after a whole frame has been read, so no message is ever
// posted for bytes already read. A peer that closes raises a last notification
// whose ReceivePacket returns CLOSED; nothing is armed after a result other
// than COMPLETE, and the session should then end. Notifications still pending
// when the socket is destroyed are dropped; a message already posted stays
// in the owner's queue.
class clntSocket : public strmSocket {
public:
    // Bound to `thread`: notifications arrive there and stopping it shuts this
    // connection down. `owner` is left null.
    clntSocket(msgThread& thread, std::uint8_t socketId);
    ~clntSocket() override; // deletes symKey

    void SendPacket(const mssgPacket* packet);
    rcvResult ReceivePacket(mssgPacket* packet);

    msgThread* owner = nullptr; // told of arriving data; not owned
    SymKey* symKey = nullptr;   // the connection's session key; owned
    std::uint8_t id;            // BANK_SOCKET_ID or CONSUMER_SOCKET_ID

protected:
    void OnReceive(int err) override;
};
