// The payment load generator: M payments at concurrency C through the real
// shop (`kestrane --headless`) and the reference bank over 127.0.0.1, with
// the shop's CPU time per payment beside the crypto floor; and a mode that
// holds many consumers connected and idle while payments go on, for the
// shop's memory per idle session.

#include "childProcess.h"
#include "demoWorld.h"
#include "payClient.h"
#include "platform/procLimits.h"
#include "procProbe.h"
#include "shopProcess.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

const char* const USAGE = R"(usage: bench_payments [options]

Runs payments through the real shop and the reference bank on 127.0.0.1 and
prints, per concurrency: payments per second, the median and 99th percentile
of a whole payment's latency, and the shop's CPU time per payment (user +
system) beside the crypto floor per payment.

  --payments M        payments per concurrency (default 2000)
  --concurrency LIST  comma-separated concurrencies (default 1,4,16,64)
  --idle N            also hold N consumers connected and idle while M
                      payments run at concurrency 4, and report the shop's
                      resident memory per idle session (default 0: not run)
  --floor-us X        the crypto floor per payment in microseconds (default:
                      run bench_crypto for it)
  --shop PATH         the shop program to measure (default: this build's
                      kestrane), to compare two builds under the same load
  --help              show this text
)";

struct options {
    int payments = 2000;
    std::vector<int> concurrency{1, 4, 16, 64};
    int idle = 0;
    double floorUs = -1;
    std::string shop = programPaths::SHOP;
};

bool ParseOptions(int argc, char** argv, options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool hasValue = i + 1 < argc;
        try {
            if (word == "--payments" && hasValue) {
                o.payments = std::stoi(argv[++i]);
            } else if (word == "--idle" && hasValue) {
                o.idle = std::stoi(argv[++i]);
            } else if (word == "--shop" && hasValue) {
                o.shop = argv[++i];
            } else if (word == "--floor-us" && hasValue) {
                o.floorUs = std::stod(argv[++i]);
            } else if (word == "--concurrency" && hasValue) {
                o.concurrency.clear();
                std::istringstream list(argv[++i]);
                for (std::string item; std::getline(list, item, ',');)
                    o.concurrency.push_back(std::stoi(item));
            } else {
                return false;
            }
        } catch (const std::exception&) {
            return false;
        }
    }
    return o.payments > 0 && o.idle >= 0 && !o.concurrency.empty() &&
           std::all_of(o.concurrency.begin(), o.concurrency.end(), [](int c) { return c > 0; });
}

double CryptoFloor() {
    std::fprintf(stderr, "Measuring the crypto floor (bench_crypto) ...\n");
    childProcess crypto(BENCH_CRYPTO, {}, ".");
    const std::optional<std::string> line = crypto.WaitForLine("crypto_floor_us=");
    crypto.Wait();
    return line ? std::stod(line->substr(line->find('=') + 1)) : -1;
}

// The shop, the bank and the coins, in a demo world of their own.
class loadWorld {
public:
    loadWorld(int maxConnections, const std::string& shopProgram) {
        if (!world.Made())
            return;
        bank = StartBank(world.Folder(), {"--max-connections", std::to_string(maxConnections),
                                          "--idle-timeout", "0"});
        if (!bank.Ready())
            return;
        bank.process->Discard();
        shop.program = shopProgram;
        shop.CopyKeysFrom(world.Folder());
        shop.WriteAddresses(bank.paymentPort);
        port = static_cast<std::uint16_t>(shop.StartListening());
        if (port == 0)
            return;
        shop.process.Discard(); // activity lines: four and more per payment
        shopKey = std::make_unique<PublicRsaKey>(world.shopKey->PublicKey());
    }

    bool Ready() const { return shopKey != nullptr; }
    pid_t ShopPid() const { return shop.process.Pid(); }

    // Fresh coins of denominations 0, 1 and 2 (three coins worth 7, as the
    // crypto floor counts them) for `count` payments.
    std::vector<std::vector<coinRecord>> Coins(int count) const {
        std::vector<std::vector<coinRecord>> lists(static_cast<std::size_t>(count));
        for (auto& list : lists)
            for (std::uint8_t d = 0; d < 3; ++d)
                list.push_back(world.Mint(d).record);
        return lists;
    }

    int Stop() { return shop.Stop(); }

    demoWorld world;
    runningBank bank;
    shopProcess shop;
    std::uint16_t port = 0;
    std::unique_ptr<PublicRsaKey> shopKey;
};

struct runResult {
    double seconds = 0;
    procProbe::cpuTime cpu; // the shop's, during the run
    std::vector<double> latencyMs;
    int failed = 0;
    std::string firstFailure;
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

// M payments on C threads; a progress line on standard error meanwhile.
runResult RunPayments(loadWorld& load, int payments, int concurrency, const std::string& label) {
    const auto coins = load.Coins(payments);
    runResult result;
    result.latencyMs.resize(static_cast<std::size_t>(payments));
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::mutex lock;
    std::condition_variable finished;

    const procProbe::cpuTime cpuBefore = procProbe::CpuSeconds(load.ShopPid());
    const auto start = clock_type::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < concurrency; ++t) {
        workers.emplace_back([&, t] {
            std::mt19937_64 random(std::random_device{}() + static_cast<unsigned>(t));
            for (int i; (i = next++) < payments;) {
                const auto begun = clock_type::now();
                payClient client(load.port, *load.shopKey, random);
                const bool paid =
                    client.AgreeKey() && client.Pay(coins[static_cast<std::size_t>(i)]);
                const std::chrono::duration<double, std::milli> took = clock_type::now() - begun;
                result.latencyMs[static_cast<std::size_t>(i)] = took.count();
                const std::lock_guard<std::mutex> hold(lock);
                if (!paid && result.failed++ == 0)
                    result.firstFailure = client.Failure();
                if (++done == payments)
                    finished.notify_all();
            }
        });
    }
    {
        // The progress line is redrawn on a terminal, and said every tenth
        // of the run elsewhere.
        const bool terminal = isatty(STDERR_FILENO) != 0;
        int said = 0;
        std::unique_lock<std::mutex> hold(lock);
        while (!finished.wait_for(hold, std::chrono::milliseconds(500),
                                  [&] { return done == payments; })) {
            if (terminal)
                std::fprintf(stderr, "\r%s: %d/%d payments", label.c_str(), done.load(), payments);
            else if (const int tenth = done * 10 / payments; tenth > said) {
                said = tenth;
                std::fprintf(stderr, "%s: %d/%d payments\n", label.c_str(), done.load(), payments);
            }
        }
    }
    for (std::thread& worker : workers)
        worker.join();
    result.seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    const procProbe::cpuTime cpuAfter = procProbe::CpuSeconds(load.ShopPid());
    result.cpu = {cpuAfter.user - cpuBefore.user, cpuAfter.system - cpuBefore.system};
    if (isatty(STDERR_FILENO) != 0)
        std::fprintf(stderr, "\r%*s\r", 60, "");
    return result;
}

void Report(const std::string& label, int payments, const runResult& r, double floorUs) {
    const double cpuUs = r.cpu.Total() * 1e6 / payments;
    std::printf("%-6s %6d payments %7.2f s %8.1f payments/s  median %7.2f ms  p99 %7.2f ms  "
                "shop CPU %7.1f us/payment",
                label.c_str(), payments, r.seconds, payments / r.seconds,
                Percentile(r.latencyMs, 0.5), Percentile(r.latencyMs, 0.99), cpuUs);
    if (floorUs > 0)
        std::printf(" = %.2f x floor", cpuUs / floorUs);
    std::printf(" (user %.0f, system %.0f)\n", r.cpu.user * 1e6 / payments,
                r.cpu.system * 1e6 / payments);
    if (r.failed > 0)
        std::printf("       %d payments failed; the first: %s\n", r.failed, r.firstFailure.c_str());
    std::fflush(stdout);
}

// Holds `count` consumers connected (each past its key agreement, so its
// session runs) while payments go on.
bool RunIdle(loadWorld& load, int count, int payments, double floorUs) {
    const pid_t shop = load.ShopPid();
    const long rssBefore = procProbe::ResidentKib(shop);
    const long threadsBefore = procProbe::Threads(shop);
    std::mt19937_64 random(std::random_device{}());
    std::vector<std::unique_ptr<payClient>> idle;
    for (int i = 0; i < count; ++i) {
        idle.push_back(std::make_unique<payClient>(load.port, *load.shopKey, random));
        if (!idle.back()->AgreeKey()) {
            std::printf("idle consumer %d of %d: %s\n", i + 1, count,
                        idle.back()->Failure().c_str());
            return false;
        }
        if ((i + 1) % 100 == 0)
            std::fprintf(stderr, "Idle consumers: %d/%d\n", i + 1, count);
    }
    const long rssAfter = procProbe::ResidentKib(shop);
    const long threadsAfter = procProbe::Threads(shop);
    std::printf("idle   %d consumers held: shop threads %ld -> %ld, VmRSS %ld -> %ld KiB, "
                "%.1f KiB per idle session\n",
                count, threadsBefore, threadsAfter, rssBefore, rssAfter,
                static_cast<double>(rssAfter - rssBefore) / count);
    const runResult r = RunPayments(load, payments, 4, "C=4+idle");
    Report("C=4+i", payments, r, floorUs);
    return r.failed == 0;
}

} // namespace

int main(int argc, char** argv) {
    options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(USAGE, stderr);
        return argc > 1 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    procLimits::RaiseForServing(); // many connections at once
    const double floorUs = o.floorUs > 0 ? o.floorUs : CryptoFloor();
    if (floorUs > 0)
        std::printf("crypto floor per payment: %.2f us\n", floorUs);

    const int most = *std::max_element(o.concurrency.begin(), o.concurrency.end());
    loadWorld load(most + 16, o.shop);
    if (!load.Ready()) {
        std::fprintf(stderr,
                     "bench_payments: the demo world, the bank or the shop did not start\n");
        return 1;
    }
    bool ok = true;
    for (const int c : o.concurrency) {
        const std::string label = "C=" + std::to_string(c);
        const runResult r = RunPayments(load, o.payments, c, label);
        Report(label, o.payments, r, floorUs);
        ok = ok && r.failed == 0;
    }
    if (o.idle > 0)
        ok = RunIdle(load, o.idle, o.payments, floorUs) && ok;
    const int status = load.Stop();
    if (status != 0) {
        std::fprintf(stderr, "bench_payments: the shop ended with status %d\n", status);
        ok = false;
    }
    return ok ? 0 : 1;
}
