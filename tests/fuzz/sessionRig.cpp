#include "sessionRig.h"

#include "crypto/lcRng.h"
#include "fuzzCheck.h"
#include "fuzzInput.h"
#include "fuzzWorld.h"
#include "pieceStream.h"
#include "session/clntThread.h"
#include "shell/CKestraneDoc.h"
#include "wire/mssgPacket.h"
#include "wire/packetFrame.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
// The session's generator, fixed so that a run repeats exactly.
constexpr std::uint32_t GENERATOR_SEED = 20240607;
constexpr int KEY_TEXT = 53;
// How long a session may take to notice that both its peers have gone.
constexpr std::chrono::seconds END_GUARD{5};

enum moveKind : std::uint8_t {
    CONSUMER_RAW,
    CONSUMER_FRAME,
    CONSUMER_SEALED,
    CONSUMER_KEY_OFFER,
    BANK_RAW,
    BANK_FRAME,
    BANK_SEALED,
    BANK_SIGNATURE,
    CONSUMER_FINISH,
    BANK_FINISH,
    CONSUMER_RESET,
    BANK_RESET,
    MOVE_KINDS
};

std::vector<std::uint8_t> FrameBytes(std::uint8_t type, std::uint8_t step,
                                     const std::vector<std::uint8_t>& data) {
    mssgPacket packet;
    packet.SetPacket(type, step, data.data(), static_cast<std::int32_t>(data.size()));
    pieceStream sink({}, {}, false);
    packetFrame::Send(sink, packet);
    return sink.Sent();
}

std::vector<std::uint8_t> Seal(const SymKey& key, const std::vector<std::uint8_t>& plain) {
    const int length = static_cast<int>(plain.size());
    std::vector<std::uint8_t> sealed(static_cast<std::size_t>(SymKey::SealedLength(length)));
    sealed.resize(
        static_cast<std::size_t>(key.EncryptMessage(plain.data(), sealed.data(), length)));
    return sealed;
}

sockaddr_in Loopback(unsigned int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// libFuzzer's timer signal may cut a connect short; the connection is then
// made in the background, and the rig waits for it.
int ConnectTo(unsigned int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    int error =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
    if (error == EINTR) {
        pollfd done{fd, POLLOUT, 0};
        while (::poll(&done, 1, -1) < 0 && errno == EINTR) {
        }
        socklen_t size = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
    }
    if (error != 0) {
        std::fprintf(stderr, "sessionRig: connect: %s\n", std::strerror(error));
    }
    FUZZ_CHECK(fd >= 0 && error == 0);
    return fd;
}
} // namespace

// One session being played.
struct sessionRig::run {
    explicit run(const fuzzWorld& world)
        : session(new clntThread), guard(asio::make_work_guard(session->Context())),
          consumerKey(world.consumerKeyText.data(), world.consumerKeyText.size()) {}

    bool Ended() const { return session->Context().stopped(); }

    std::unique_ptr<clntThread> session;
    // The loop never runs out of work: it stops only when the session quits.
    asio::executor_work_guard<asio::io_context::executor_type> guard;
    rigPeer consumer;
    rigPeer bank;
    SymKey consumerKey;
    std::unique_ptr<SymKey> bankKey;
    std::vector<std::uint8_t> bankText; // the key text the shop offered the bank
};

sessionRig::sessionRig() : listener(listenThread) {
    std::signal(SIGPIPE, SIG_IGN);
    fuzzWorld& world = fuzzWorld::Get();

    bankListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    FUZZ_CHECK(bankListener >= 0 &&
               ::bind(bankListener, reinterpret_cast<const sockaddr*>(&address), size) == 0 &&
               ::listen(bankListener, 16) == 0 &&
               ::getsockname(bankListener, reinterpret_cast<sockaddr*>(&address), &size) == 0);
    FUZZ_CHECK(listener.Listen(0, 16));

    folder = world.scratch / "shop";
    std::filesystem::create_directories(folder);
    fuzzWorld::WriteFile(folder, "kestpv.rsa", world.shopKeyFile);
    fuzzWorld::WriteFile(folder, "bankpub.rsa", world.bankKeyFile);
    const std::string bankAddress = "127.0.0.1\n" + std::to_string(ntohs(address.sin_port)) + "\n";
    fuzzWorld::WriteFile(folder, "ipaddr.bnk", {bankAddress.begin(), bankAddress.end()});
    const std::string shopAddress = "127.0.0.1\n0\n";
    fuzzWorld::WriteFile(folder, "ipaddr.kst", {shopAddress.begin(), shopAddress.end()});
    doc = std::make_unique<CKestraneDoc>(folder);
}

sessionRig::~sessionRig() {
    listener.Close();
    ::close(bankListener);
}

void sessionRig::Play(const std::uint8_t* data, std::size_t size) {
    run session(fuzzWorld::Get());
    session.session->generator = std::make_unique<lcRng>(GENERATOR_SEED);
    session.consumer.Attach(ConnectTo(listener.LocalPort()));
    {
        auto listening = asio::make_work_guard(listenThread.Context());
        session.session->consumerSocket->owner = session.session.get();
        FUZZ_CHECK(listener.Accept(*session.session->consumerSocket));
        listenThread.Context().poll();
    }
    session.session->doc = doc.get();
    session.session->consumerSocket->ArmReceive();
    Pump(session);

    fuzzInput in(data, size);
    while (!in.Empty() && !session.Ended()) {
        Move(session, in);
        Pump(session);
    }
    // Both ends go away (a bank connection made meanwhile too); whatever
    // state it was in, the session must end. Between steps the rig waits for
    // the session's next event, bounded by a guard.
    while (!session.Ended()) {
        session.consumer.Finish();
        session.bank.Finish();
        const bool bankAttached = session.bank.Attached();
        Pump(session);
        if (session.bank.Attached() != bankAttached) {
            continue; // a bank connection the session made just now: it goes too
        }
        if (!session.Ended() && session.session->Context().run_one_for(END_GUARD) == 0) {
            break;
        }
    }
    FUZZ_CHECK(session.Ended());

    session.consumer.Reset();
    session.bank.Reset();
    session.guard.reset(); // before the loop it refers to
    session.session.reset();
    // A bank connection that the rig never took: reset as the others.
    for (int fd; (fd = ::accept(bankListener, nullptr, nullptr)) >= 0;) {
        rigPeer unused;
        unused.Attach(fd);
        unused.Reset();
    }
    std::filesystem::remove(folder / "log.kst");
}

void sessionRig::Move(run& session, fuzzInput& in) {
    const auto kind = static_cast<moveKind>(in.Byte() % MOVE_KINDS);
    switch (kind) {
    case CONSUMER_RAW:
        session.consumer.Write(in.Chunk());
        break;
    case BANK_RAW:
        session.bank.Write(in.Chunk());
        break;
    case CONSUMER_FRAME:
    case BANK_FRAME: {
        const std::uint8_t type = in.Byte();
        const std::uint8_t step = in.Byte();
        rigPeer& peer = kind == CONSUMER_FRAME ? session.consumer : session.bank;
        peer.Write(FrameBytes(type, step, in.Chunk()));
        break;
    }
    case CONSUMER_SEALED: {
        const std::uint8_t type = in.Byte();
        const std::uint8_t step = in.Byte();
        session.consumer.Write(FrameBytes(type, step, Seal(session.consumerKey, in.Chunk())));
        break;
    }
    case BANK_SEALED: {
        const std::uint8_t type = in.Byte();
        const std::uint8_t step = in.Byte();
        const std::vector<std::uint8_t> plain = in.Chunk();
        if (session.bankKey) {
            session.bank.Write(FrameBytes(type, step, Seal(*session.bankKey, plain)));
        }
        break;
    }
    case CONSUMER_KEY_OFFER:
        session.consumer.Write(fuzzWorld::Get().keyOfferFrame);
        break;
    case BANK_SIGNATURE:
        if (session.bankKey) {
            std::vector<std::uint8_t> signature(PublicRsaKey::BLOCK_SIZE);
            fuzzWorld::Get().bankKey.Sign(session.bankText.data(), signature.data(), KEY_TEXT);
            session.bank.Write(FrameBytes(2, 1, Seal(*session.bankKey, signature)));
        }
        break;
    case CONSUMER_FINISH:
        session.consumer.Finish();
        break;
    case BANK_FINISH:
        session.bank.Finish();
        break;
    case CONSUMER_RESET:
        session.consumer.Reset();
        break;
    case BANK_RESET:
        session.bank.Reset();
        break;
    case MOVE_KINDS:
        break;
    }
}

// Lets the session handle everything that has arrived, and takes what it
// sent, until nothing moves any more.
void sessionRig::Pump(run& session) {
    if (!session.consumer.Settled() || !session.bank.Settled()) {
        return;
    }
    for (;;) {
        const std::size_t ran = session.session->Context().poll();
        const bool moved = TakeOutput(session);
        if (session.Ended() || (ran == 0 && !moved)) {
            return;
        }
    }
}

bool sessionRig::TakeOutput(run& session) {
    bool moved = session.consumer.Drain();
    if (!session.bank.Attached()) {
        TakeBankConnection(session);
        moved = moved || session.bank.Attached();
    }
    moved = session.bank.Drain() || moved;
    if (!session.bankKey && !session.bank.frames.empty()) {
        // The first frame to the bank is the key offer: 53 printable
        // characters under the bank's key.
        const rigPeer::frame& offer = session.bank.frames.front();
        FUZZ_CHECK(offer.type == 1 && offer.step == 0 &&
                   offer.data.size() == static_cast<std::size_t>(PublicRsaKey::BLOCK_SIZE));
        session.bankText.resize(PublicRsaKey::MAX_DATA);
        FUZZ_CHECK(fuzzWorld::Get().bankKey.Decrypt(offer.data.data(), session.bankText.data()) ==
                   KEY_TEXT);
        FUZZ_CHECK(std::all_of(session.bankText.begin(), session.bankText.end(),
                               [](std::uint8_t c) { return c >= 32 && c <= 126; }));
        session.bankKey =
            std::make_unique<SymKey>(session.bankText.data(), session.bankText.size());
    }
    // Only the key offer is needed; the rest is checked as it arrives.
    session.consumer.frames.clear();
    if (session.bankKey) {
        session.bank.frames.clear();
    }
    return moved;
}

void sessionRig::TakeBankConnection(run& session) {
    const int fd = ::accept4(bankListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
        session.bank.Attach(fd);
    }
}
