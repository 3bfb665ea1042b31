#pragma once

#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"
#include "platform/msgThread.h"
#include "shell/lineStore.h"
#include "shell/logFile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

class drawSurface;
class lstnSocket;

// The shop's one document: its key and identifier, the bank's keys and
// address, the port it listens on, the payment log and the activity lines,
// all read once from the working folder and never changed afterwards. It
// opens the listener that starts a session per consumer, and stops everything
// cleanly at the end of the run. Both run modes use it the same way:
//
//   auto doc = CKestraneDoc::Open();          // null: message shown, exit 1
//   doc->surface = ...;                        // where activity lines appear
//   if (!doc->OnNewDocument(&why)) ...         // exit non-zero
//   ... run until told to stop ...
//   doc->StopServing();                        // then destroy the document
//
// Sessions read the keys, addresses and ports without a lock; ReportActivity
// and log serialise themselves.
class CKestraneDoc {
public:
    static constexpr int LISTEN_BACKLOG = 5;
    static constexpr int COIN_KEYS = 10;

    // Reads "kestpv.rsa", "bankpub.rsa", "ipaddr.bnk" and "ipaddr.kst" from
    // `folder` (the working folder when empty), in that order. Throws
    // startError for the first file that cannot be opened or read. The log
    // and every later file name are taken in the same folder.
    explicit CKestraneDoc(const std::filesystem::path& folder = {});
    // Stops serving first if that has not been done.
    ~CKestraneDoc();
    CKestraneDoc(const CKestraneDoc&) = delete;
    CKestraneDoc& operator=(const CKestraneDoc&) = delete;

    // Builds the document from `folder`; on failure shows the message to the
    // operator and returns null (the caller then ends with status 1).
    static std::unique_ptr<CKestraneDoc> Open(const std::filesystem::path& folder = {});

    // Opens the listener on listenPort (modulo 65536), every local address,
    // backlog 5, and starts accepting consumers on a thread of the document's
    // own. True when the listener is open. Called again while it is open, it
    // keeps that listener and returns true. On failure, `why` (if given) says
    // why, no listener is kept and nothing has been started.
    bool OnNewDocument(std::string* why = nullptr);

    // The port the listener is bound to, 0 when it is not open. Useful with a
    // listenPort of 0.
    unsigned int ListeningPort() const { return boundPort; }

    // Runs on the listener's thread for each waiting connection: starts a
    // session thread for it with `doc` and `drawingContext` set before the
    // session handles anything. A connection that is gone before it is
    // accepted leaves nothing behind.
    void AcceptConsumer();

    // Stores `text` as the newest activity line and tells `drawingContext`.
    // Any thread.
    void ReportActivity(drawSurface* drawingContext, const std::string& text);

    // Closes the listener, stops every session and waits until all of them
    // have ended. The document may be destroyed afterwards. Called on the
    // thread that called OnNewDocument, never from a session or the
    // listener's thread. Doing it twice does nothing more.
    void StopServing();

    std::unique_ptr<lstnSocket> listenSocket;
    std::unique_ptr<PublicRsaKey> bankKey;
    std::array<std::unique_ptr<PublicRsaKey>, COIN_KEYS> coinKeys; // entry d: denomination d
    std::unique_ptr<PrivateRsaKey> shopKey;
    std::uint32_t shopId = 0; // the four bytes of the key file, little-endian
    std::string bankAddress;
    std::int32_t bankPort = 0;
    std::int32_t listenPort = 0;
    logFile log;

    // The latest activity lines, which the window's view draws.
    lineStore activityLines;
    // Where sessions' activity lines are shown (standard output headless, the
    // window's view otherwise); not owned. Set before OnNewDocument.
    drawSurface* surface = nullptr;

private:
    void LoadKeys(const std::filesystem::path& folder);
    void LoadAddresses(const std::filesystem::path& folder);

    // The listener's accept notifications run on listenThread, whose loop
    // runs on listenRunner.
    msgThread listenThread;
    std::thread listenRunner;
    unsigned int boundPort = 0;
};
