#pragma once

#include "crypto/SymKey.h"
#include "platform/acptSocket.h"
#include "platform/msgThread.h"
#include "rigPeer.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

class CKestraneDoc;
class clntThread;
class fuzzInput;

// Plays one whole session of the shop from a fuzzer's input: a clntThread
// with the vectors' document, whose consumer and bank are loopback
// connections that the rig plays. The rig runs the session's message loop
// itself, on the calling thread, one step at a time, so a run depends on the
// input alone.
//
// The input is a sequence of moves on either connection: raw bytes, frames,
// messages sealed under the connection's key (the vectors' consumer key; the
// key the shop offered the bank, which the rig decrypts with the bank's
// private key), the bank's valid signature, and ends and resets of either
// connection. After each move the session handles what has arrived, unless a
// frame is still cut short. At the end both connections are ended, and the
// session must end too.
class sessionRig {
public:
    sessionRig();
    ~sessionRig();
    sessionRig(const sessionRig&) = delete;
    sessionRig& operator=(const sessionRig&) = delete;

    void Play(const std::uint8_t* data, std::size_t size);

private:
    struct run;

    void Move(run& session, fuzzInput& in);
    void Pump(run& session);
    bool TakeOutput(run& session);
    void TakeBankConnection(run& session);

    std::filesystem::path folder;
    std::unique_ptr<CKestraneDoc> doc;
    msgThread listenThread; // its loop is run by the rig
    acptSocket listener;
    int bankListener = -1;
};
