#include "session/clntThread.h"

#include "wire/mssgPacket.h"
#include "wire/threadMessages.h"

clntThread::clntThread()
    : consumerSocket(std::make_unique<clntSocket>(*this, CONSUMER_SOCKET_ID)) {}

clntThread::~clntThread() = default;

void clntThread::ExitInstance() {
    consumerSocket.reset();
}

void clntThread::OnMessage(unsigned int message, std::uintptr_t, std::intptr_t) {
    if (message == TM_CONSUMER_DATA) {
        mssgPacket packet;
        if (consumerSocket->ReceivePacket(&packet) == rcvResult::COMPLETE) {
            delete[] packet.GetData();
        }
        Quit();
    }
}
