// kestrane: the shop's payment server, with its main window or headless.

#include "platform/errOperator.h"
#include "platform/outSurface.h"
#include "platform/procLimits.h"
#include "platform/stopWaiter.h"
#include "shell/CKestraneDoc.h"

#ifdef KESTRANE_WITH_GUI
#include "gui/CKestraneApp.h"
#endif

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <string_view>

namespace {

constexpr int EXIT_START_FAILED = 1;
constexpr int EXIT_USAGE = 2;

constexpr const char* USAGE =
    "Usage: kestrane [--headless | --help | --version]\n"
    "\n"
    "The shop's payment server. Run it in a working folder that holds kestpv.rsa,\n"
    "bankpub.rsa, ipaddr.bnk and ipaddr.kst; payments are logged to log.kst there.\n"
    "\n"
    "  (no option)  open the main window\n"
    "  --headless   run without a window: activity lines go to standard output,\n"
    "               messages to standard error; \"Listening on port N\" on standard\n"
    "               error once consumers can connect; SIGINT or SIGTERM stops it\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "Exit status: 0 after a clean stop, 1 when start-up fails, 2 on a usage error.\n";

// Serves until SIGINT or SIGTERM (taken only by this thread: see stopWaiter).
int RunHeadless() {
    const stopWaiter stop;

    errOperator console; // standard error, never interleaved with other texts
    SetOperator(&console);
    outSurface activity;

    std::unique_ptr<CKestraneDoc> doc = CKestraneDoc::Open();
    if (!doc) {
        return EXIT_START_FAILED;
    }
    doc->surface = &activity;
    std::string why;
    if (!doc->OnNewDocument(&why)) {
        console.ShowMessage(why);
        return EXIT_START_FAILED;
    }
    console.ShowMessage("Listening on port " + std::to_string(doc->ListeningPort()));

    stop.Wait();
    doc->StopServing();
    doc.reset();
    SetOperator(nullptr);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help") {
            std::fputs(USAGE, stdout);
            return 0;
        }
        if (option == "--version") {
            std::puts("Kestrane Version 1.0");
            return 0;
        }
        if (option == "--headless") {
            headless = true;
        }
    }
    // A server, in either mode: each session needs descriptors and a thread.
    procLimits::RaiseForServing();
    if (headless) {
        if (argc != 2) {
            std::fputs(USAGE, stderr);
            return EXIT_USAGE;
        }
        return RunHeadless();
    }
#ifdef KESTRANE_WITH_GUI
    return RunWindow(argc, argv);
#else
    std::fputs("kestrane: this build has no main window; only --headless is available.\n", stderr);
    return EXIT_USAGE;
#endif
}
