// The soak run: many payments at high concurrency through the real shop and
// the reference bank, with refused payments and hostile sessions mixed in;
// then the log, the shop's memory and what it holds are checked. Prints the
// figures; exit status 0 when every check holds.

#include "childProcess.h"
#include "demoWorld.h"
#include "hostileClient.h"
#include "payClient.h"
#include "platform/procLimits.h"
#include "procProbe.h"
#include "procWatch.h"
#include "shopProcess.h"

#include "shell/logReader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const USAGE = R"(usage: soak_payments [options]

Runs payments through the real shop (kestrane --headless) and the reference
bank on 127.0.0.1, with hostile sessions mixed in, and checks at the end:
every confirmed payment has exactly one "P S" record in log.kst, every bank
refusal one "P F"; the log reads back whole (kestrane-log exits 0); the shop's
resident memory after the last thousand payments is within the tolerance of
what it was after the first thousand; and once all sessions have ended the
shop holds as many descriptors and threads as before the run.

  --payments N        payments (default 10000); one in ten is refused by the
                      bank (it carries a coin that does not verify)
  --concurrency C     consumers at once (default 64)
  --hostile P         hostile sessions per 100 payments, besides them
                      (default 25)
  --tolerance-kib K   allowed growth of VmRSS (default 4096, or 10 percent of
                      the memory after the first thousand if that is more)
  --help              show this text
)";

// Payments by kind: honest ones pay 7 (coins 0, 1, 2), refused ones 16 (one
// coin of denomination 4 that is no coin), and hostile sessions that get as
// far as paying pay 8 (coin 3); so the log's records tell them apart.
constexpr const char* HONEST_RECORD = "P S 7\n";
constexpr const char* REFUSED_RECORD = "P F 16\n";
constexpr const char* HOSTILE_RECORD = "P S 8\n";

struct options {
    int payments = 10000;
    int concurrency = 64;
    int hostilePer100 = 25;
    long toleranceKib = 4096;
};

bool ParseOptions(int argc, char** argv, options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (i + 1 >= argc)
            return false;
        try {
            const long value = std::stol(argv[++i]);
            if (word == "--payments")
                o.payments = static_cast<int>(value);
            else if (word == "--concurrency")
                o.concurrency = static_cast<int>(value);
            else if (word == "--hostile")
                o.hostilePer100 = static_cast<int>(value);
            else if (word == "--tolerance-kib")
                o.toleranceKib = value;
            else
                return false;
        } catch (const std::exception&) {
            return false;
        }
    }
    return o.payments > 0 && o.concurrency > 0 && o.hostilePer100 >= 0 && o.toleranceKib >= 0;
}

// One unit of work: a payment (honest or refused) or a hostile session.
struct job {
    enum kind { HONEST, REFUSED, HOSTILE } what;
    hostileClient::behaviour how = hostileClient::LEAVE_AT_ONCE;
    std::vector<coinRecord> coins;
};

// Payments in order, one in ten refused, hostile sessions spread among them.
std::vector<job> Jobs(const demoWorld& world, const options& o) {
    std::vector<job> jobs;
    std::mt19937_64 random(20240607);
    int hostile = 0;
    for (int i = 0; i < o.payments; ++i) {
        if (i % 10 == 9) {
            bytes bogus(64);
            for (std::uint8_t& b : bogus)
                b = static_cast<std::uint8_t>(random());
            bogus[0] = 0;
            jobs.push_back({job::REFUSED, {}, {coinRecord{4, bogus}}});
        } else {
            jobs.push_back({job::HONEST,
                            {},
                            {world.Mint(0).record, world.Mint(1).record, world.Mint(2).record}});
        }
        // Hostile sessions after the payment, as many as the share asks.
        while (hostile * 100 < (i + 1) * o.hostilePer100) {
            const auto how =
                static_cast<hostileClient::behaviour>(hostile % hostileClient::BEHAVIOURS);
            job session{job::HOSTILE, how, {}};
            if (hostileClient::Pays(how))
                session.coins.push_back(world.Mint(3).record);
            jobs.push_back(std::move(session));
            ++hostile;
        }
    }
    return jobs;
}

} // namespace

int main(int argc, char** argv) {
    options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(USAGE, stderr);
        return argc > 1 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    procLimits::RaiseForServing(); // many connections at once

    demoWorld world;
    if (!world.Made()) {
        std::fprintf(stderr, "soak_payments: kestrane-keygen did not make a world\n");
        return 1;
    }
    runningBank bank =
        StartBank(world.Folder(),
                  {"--max-connections", std::to_string(o.concurrency + 16), "--idle-timeout", "0"});
    shopProcess shop;
    std::uint16_t port = 0;
    if (bank.Ready()) {
        bank.process->Discard();
        shop.CopyKeysFrom(world.Folder());
        shop.WriteAddresses(bank.paymentPort);
        port = static_cast<std::uint16_t>(shop.StartListening());
    }
    if (port == 0) {
        std::fprintf(stderr, "soak_payments: the bank or the shop did not start\n");
        return 1;
    }
    shop.process.Discard();
    const pid_t pid = shop.process.Pid();
    const PublicRsaKey shopKey = world.shopKey->PublicKey();

    std::fprintf(stderr, "Minting coins for %d payments ...\n", o.payments);
    const std::vector<job> jobs = Jobs(world, o);
    const procWatch watch(pid);
    const procWatch::usage before = watch.Now();

    std::atomic<std::size_t> next{0};
    std::atomic<int> paymentsDone{0};
    std::mutex lock;
    long rssAfterFirst = -1;
    std::map<std::string, int> outcomes; // what the clients saw
    std::vector<std::string> failures;
    const auto start = std::chrono::steady_clock::now();
    const int firstThousand = std::min(1000, o.payments);

    std::vector<std::thread> workers;
    for (int t = 0; t < o.concurrency; ++t) {
        workers.emplace_back([&, t] {
            std::mt19937_64 random(std::random_device{}() + static_cast<unsigned>(t));
            for (std::size_t i; (i = next++) < jobs.size();) {
                const job& work = jobs[i];
                std::string outcome;
                std::string failure;
                if (work.what == job::HOSTILE) {
                    hostileClient client(port, shopKey, random);
                    if (client.Play(work.how, work.coins))
                        outcome = hostileClient::Pays(work.how) ? "hostile, paid" : "hostile";
                    else
                        failure =
                            "hostile session " + std::to_string(work.how) + ": " + client.Failure();
                } else {
                    payClient client(port, shopKey, random);
                    const bool paid = client.AgreeKey() && client.Pay(work.coins);
                    if (work.what == job::HONEST && paid)
                        outcome = "confirmed";
                    else if (work.what == job::REFUSED && !paid &&
                             client.Failure().starts_with("the shop refused: "))
                        outcome = "refused";
                    else
                        failure =
                            (paid ? std::string("confirmed a refused payment") : client.Failure());
                }
                const std::lock_guard<std::mutex> hold(lock);
                if (!failure.empty())
                    failures.push_back(failure);
                else
                    ++outcomes[outcome];
                if (work.what != job::HOSTILE) {
                    const int done = ++paymentsDone;
                    if (done == firstThousand)
                        rssAfterFirst = procProbe::ResidentKib(pid);
                    if (done % 1000 == 0)
                        std::fprintf(stderr, "%d/%d payments\n", done, o.payments);
                }
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long rssAtEnd = procProbe::ResidentKib(pid);

    // The sessions end after their consumers: the shop must give back every
    // connection, keeping only what its message threads keep for reuse.
    const bool recovered = watch.ReturnsTo(before, std::chrono::seconds(60));
    const std::string held = recovered ? std::string() : watch.Difference(before);
    const procWatch::usage after = watch.Now();
    const int shopStatus = shop.Stop();

    // The log, read back.
    std::map<std::string, int> records;
    int damaged = 0;
    if (const auto entries = logReader::ReadFile(shop.folder / "log.kst")) {
        for (const logEntry& entry : *entries) {
            if (entry.what == logEntry::kind::RECORD)
                ++records[entry.text];
            else
                ++damaged;
        }
    }
    const toolRun logTool = RunTool(programPaths::LOG, {"log.kst"}, shop.folder);

    const long tolerance = std::max(o.toleranceKib, rssAfterFirst / 10);
    const int others =
        static_cast<int>(std::count_if(records.begin(), records.end(), [](const auto& r) {
            return r.first != HONEST_RECORD && r.first != REFUSED_RECORD &&
                   r.first != HOSTILE_RECORD;
        }));

    std::printf("soak: %d payments and %zu hostile sessions at concurrency %d in %.1f s "
                "(%.0f payments/s)\n",
                o.payments, jobs.size() - static_cast<std::size_t>(o.payments), o.concurrency,
                seconds, o.payments / seconds);
    std::printf("  clients saw: %d confirmed, %d refused by the bank, %d hostile (%d of them "
                "paid before leaving), %zu failures\n",
                outcomes["confirmed"], outcomes["refused"],
                outcomes["hostile"] + outcomes["hostile, paid"], outcomes["hostile, paid"],
                failures.size());
    for (std::size_t i = 0; i < std::min<std::size_t>(failures.size(), 5); ++i)
        std::printf("    failure: %s\n", failures[i].c_str());
    std::printf("  log.kst: %d \"P S 7\", %d \"P F 16\", %d \"P S 8\", %d other records, "
                "%d damaged spots; kestrane-log exit %d\n",
                records[HONEST_RECORD], records[REFUSED_RECORD], records[HOSTILE_RECORD], others,
                damaged, logTool.status);
    std::printf("  shop VmRSS: %ld KiB after the first %d payments, %ld KiB after the last "
                "(growth %ld KiB, tolerance %ld KiB)\n",
                rssAfterFirst, firstThousand, rssAtEnd, rssAtEnd - rssAfterFirst, tolerance);
    std::printf("  shop threads %zu -> %zu, descriptors %zu -> %zu (%s); stop status %d\n",
                before.threads.size(), after.threads.size(), before.descriptors.size(),
                after.descriptors.size(), recovered ? "all given back" : "NOT given back",
                shopStatus);
    if (!recovered)
        std::printf("%s", held.c_str());

    const bool whole = failures.empty() && records[HONEST_RECORD] == outcomes["confirmed"] &&
                       records[REFUSED_RECORD] == outcomes["refused"] &&
                       records[HOSTILE_RECORD] == outcomes["hostile, paid"] && others == 0 &&
                       damaged == 0 && logTool.status == 0 &&
                       rssAtEnd - rssAfterFirst <= tolerance && recovered && shopStatus == 0;
    std::printf("soak: %s\n", whole ? "every check holds" : "FAILED");
    return whole ? 0 : 1;
}
