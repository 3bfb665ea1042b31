#include "wire/clntSocket.h"

#include "crypto/SymKey.h"
#include "platform/msgOperator.h"
#include "platform/msgThread.h"
#include "wire/threadMessages.h"

clntSocket::clntSocket(msgThread& thread, std::uint8_t socketId)
    : strmSocket(thread), id(socketId) {}

clntSocket::~clntSocket() {
    delete symKey;
}

void clntSocket::SendPacket(const mssgPacket* packet) {
    packetFrame::Send(*this, *packet);
}

rcvResult clntSocket::ReceivePacket(mssgPacket* packet) {
    const rcvResult result = packetFrame::Receive(*this, *packet);
    if (result == rcvResult::COMPLETE) {
        ArmReceive();
    }
    return result;
}

void clntSocket::OnReceive(int) {
    switch (id) {
    case BANK_SOCKET_ID:
        if (owner != nullptr) {
            owner->PostThreadMessage(TM_BANK_DATA, 0, 0);
        }
        break;
    case CONSUMER_SOCKET_ID:
        if (owner != nullptr) {
            owner->PostThreadMessage(TM_CONSUMER_DATA, 0, 0);
        }
        break;
    default:
        Operator().ShowMessage("Message from unknown host received");
        break;
    }
}
