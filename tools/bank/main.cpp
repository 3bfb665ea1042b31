// kestrane-bank: a reference bank for demos and tests. It accepts payments
// from shops and signs blinded coins for wallets; see --help.

#include "bankContext.h"
#include "bankOptions.h"
#include "connServer.h"
#include "pmntSession.h"
#include "wdrlSession.h"

#include "common/keyFile.h"
#include "common/lineOut.h"
#include "common/msgCodes.h"
#include "common/peerLink.h"
#include "common/tcpSocket.h"
#include "common/toolOperator.h"
#include "platform/stopWaiter.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int EXIT_TROUBLE = 1;
constexpr int EXIT_USAGE = 2;
constexpr int BACKLOG = 16;
constexpr unsigned REFUSAL_TIMEOUT = 2;

// Tells a connection beyond the limit that the bank is busy.
void RefuseBusy(int fd, std::uint8_t step, const char* port) {
    const std::string text = "Bank is busy, try again later";
    lineOut::Print(std::string("Connection refused on the ") + port + " port: " + text);
    tcpSocket::SetTimeouts(fd, REFUSAL_TIMEOUT);
    peerLink link(fd);
    link.Send(msgCodes::PKT_ERROR, step, bytes(text.begin(), text.end()));
    link.Finish(REFUSAL_TIMEOUT);
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = bankOptions::Parse(argc, argv, error);
    if (!options) {
        std::cerr << "kestrane-bank: " << error << "\n\n" << bankOptions::USAGE;
        return EXIT_USAGE;
    }
    if (options->help) {
        std::cout << bankOptions::USAGE;
        return 0;
    }

    // SIGINT and SIGTERM are taken by stop.Wait below; every thread started
    // from here on inherits the mask.
    const stopWaiter stop;

    toolOperator op("kestrane-bank");
    SetOperator(&op);

    std::vector<PrivateRsaKey> keys;
    shopDirectory shops;
    std::unique_ptr<spentRegister> spent;
    try {
        keys = keyFile::ReadPrivateKeys(options->keys);
        if (keys.size() != 1 + msgCodes::COIN_KEYS)
            throw std::runtime_error(options->keys + ": " + std::to_string(keys.size()) +
                                     " keys instead of 11 (the main key and coin keys 0 to 9)");
        for (const std::string& file : options->shops)
            shops.AddFile(file);
        spent = std::make_unique<spentRegister>(options->registerFile);
    } catch (const std::exception& e) {
        std::cerr << "kestrane-bank: " << e.what() << "\n";
        return EXIT_TROUBLE;
    }
    if (spent->DroppedTail())
        std::cerr << "kestrane-bank: " << options->registerFile
                  << ": cut off an incomplete last line (a payment never confirmed)\n";

    const PrivateRsaKey bankKey = keys.front();
    const std::vector<PrivateRsaKey> coinKeys(keys.begin() + 1, keys.end());
    const bankContext context{bankKey, coinKeys, shops, *spent, options->faults};

    const int paymentFd = tcpSocket::Listen(options->address, options->port, BACKLOG, error);
    const int withdrawFd =
        paymentFd < 0 ? -1
                      : tcpSocket::Listen(options->address, options->withdrawPort, BACKLOG, error);
    if (paymentFd < 0 || withdrawFd < 0) {
        if (paymentFd >= 0)
            close(paymentFd);
        std::cerr << "kestrane-bank: " << error << "\n";
        return EXIT_TROUBLE;
    }
    const unsigned idle = options->idleTimeout;
    connServer payments(
        paymentFd, options->maxConnections,
        [&context, idle](int fd) {
            tcpSocket::SetTimeouts(fd, idle);
            pmntSession(fd, context).Run();
        },
        [](int fd) { RefuseBusy(fd, 1, "payment"); });
    connServer withdrawals(
        withdrawFd, options->maxConnections,
        [&coinKeys, idle](int fd) {
            tcpSocket::SetTimeouts(fd, idle);
            wdrlSession(fd, coinKeys).Run();
        },
        [](int fd) { RefuseBusy(fd, msgCodes::WITHDRAW_STEP, "withdrawal"); });

    lineOut::Print("Shops known: " + std::to_string(shops.Count()) +
                   "; coins spent so far: " + std::to_string(spent->SpentCount()));
    payments.Start();
    withdrawals.Start();
    lineOut::Print("Payments on port " + std::to_string(tcpSocket::LocalPort(paymentFd)));
    lineOut::Print("Withdrawals on port " + std::to_string(tcpSocket::LocalPort(withdrawFd)));

    stop.Wait();
    payments.Stop();
    withdrawals.Stop();
    lineOut::Print("Bank stopped");
    SetOperator(nullptr);
    return 0;
}
