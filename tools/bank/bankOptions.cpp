#include "bankOptions.h"

#include "common/tcpSocket.h"

#include <charconv>

const char* const bankOptions::USAGE = R"USAGE(usage: kestrane-bank [options] [test switches]

A reference bank for demos and tests: it accepts the payments of shops on one
port and signs blinded coins for wallets on another.

Options:
  --keys FILE           the bank's private keys: the main key, then coin keys 0
                        to 9, as kestrane-keygen writes them (default bankpv.rsa)
  --shops FILE...       files of shop records as kestrane-keygen writes them
                        (kestpub.rsa: a shop id, then the shop's public key);
                        takes every argument up to the next option; may be
                        repeated (default kestpub.rsa)
  --address ADDRESS     the local address to listen on (default 127.0.0.1;
                        0.0.0.0 for every address)
  --port N              the payment port (default 0: one the system chooses)
  --withdraw-port N     the withdrawal port (default 0: one the system chooses)
  --register FILE       the spent-coin register (default spent-coins.txt)
  --max-connections N   connections served at once on each port (default 32);
                        one more is told "Bank is busy, try again later"
  --idle-timeout S      drop a connection that sends nothing for S seconds
                        (default 300; 0: never)
  --help                show this text

Test switches (for every payment). POINT names the bank message that the
switch replaces: signature, identity, request, receipt, confirmation, close.
  --error-at POINT      send a BankError instead, then close
  --error-text TEXT     the text of that BankError (default "Refused by the
                        bank (test switch)")
  --error-step N        its step, 0 to 255 (default 1)
  --silent-at POINT     send nothing from there on and keep the connection open
  --drop-at POINT       close the connection instead
  --garbage-at POINT    send garbage instead, of the kind --garbage names:
  --garbage KIND        crc: the real frame with both checksums spoiled, then
                        the payment goes on; sealed (the default): the
                        message's type and step with data that does not open,
                        then the payment goes on (not at close); length: a
                        header announcing 2^31 - 1 data bytes, then close
  --sign-other-text     sign another key text than the one offered
  --wrong-shop-id       put another shop id in the identity receipt
At most one of error, silent, drop and garbage per point. A switch at close
leaves the coins unspent, except garbage of kind crc.

Output: once listening, "Payments on port N" and "Withdrawals on port M" (the
ports really bound), then one line per payment ("Payment accepted: ...",
"Payment refused: TEXT ...", "Payment abandoned ...", "Payment test switch:
...") and per withdrawal ("Withdrawal: signed ...", "Withdrawal refused: ...").

Payments: the bank's side of the shop's bank conversation. The bank checks
the shop's signature over the key text under the key of the shop id it sends,
every coin under its denomination's coin key, that the coins add up to the
amount, and that no coin is spent already (or twice in the list). It
confirms with the payment's transaction number, and writes the coins to the
register (synced) when the shop has echoed it, before BankClose. Refusals are
a BankError of step 1 with one of these texts: "Coin already spent", "Coin is
being spent in another payment", "Coin is not valid", "Coin of unknown
denomination D", "Amount does not match the coins", "Coin list is empty",
"Coin list is malformed", "Unknown shop", "Shop signature does not verify",
"Confirmation reply does not match", "Bank cannot record the payment", "Bank
is busy, try again later", and texts naming an unexpected or unreadable message.

A coin of denomination d is the signature s = m^x mod n under coin key d; its
message m is 64 bytes: 00, "KSTC", d, 00 00, a 24-byte serial number, and the
SHA-256 of those 32 bytes.

Withdrawals, on their own port, in the payment frames, not encrypted:
  request (16, 16)  a coin list (count, then per coin: denomination, 4-byte
                    length, number) of 1 to 256 blinded messages 0 < b < n
  answer   (2, 16)  a coin list of their signatures b^x mod n, 64 bytes each,
                    in the same order
  refusal (32, 16)  a text; the bank then closes
A wallet may send any number of requests on one connection.

Register: one line per spent coin, "<transaction> <shop id> <denomination>
<serial in 48 hex digits>"; appended, never rewritten.

Exit status: 0 after SIGINT or SIGTERM; 1 when a file cannot be read or a port
cannot be opened; 2 for a wrong command line.
)USAGE";

namespace {

bool ParseCount(const std::string& text, unsigned long limit, unsigned long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
           value <= limit;
}

} // namespace

std::optional<bankOptions> bankOptions::Parse(int argc, char** argv, std::string& error) {
    bankOptions options;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::size_t i = 0;
    const auto value = [&](const std::string& option) -> std::optional<std::string> {
        if (i + 1 >= args.size() || args[i + 1].starts_with("--")) {
            error = option + " needs a value";
            return std::nullopt;
        }
        return args[++i];
    };
    const auto point = [&](const std::string& option) -> std::optional<faultPoint> {
        const auto name = value(option);
        if (!name)
            return std::nullopt;
        const auto found = faultPlan::PointNamed(*name);
        if (!found)
            error = option + ": no such point: " + *name;
        return found;
    };
    const auto setAction = [&](const std::string& option, faultAction action) {
        const auto where = point(option);
        if (!where)
            return false;
        if (!options.faults.Set(*where, action)) {
            error = option + ": another switch stands at " + faultPlan::PointName(*where);
            return false;
        }
        return true;
    };

    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        unsigned long number = 0;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        } else if (arg == "--keys" || arg == "--address" || arg == "--register" ||
                   arg == "--error-text") {
            const auto text = value(arg);
            if (!text)
                return std::nullopt;
            (arg == "--keys"       ? options.keys
             : arg == "--address"  ? options.address
             : arg == "--register" ? options.registerFile
                                   : options.faults.errorText) = *text;
        } else if (arg == "--shops") {
            const std::size_t first = options.shops.size();
            while (i + 1 < args.size() && !args[i + 1].starts_with("--"))
                options.shops.push_back(args[++i]);
            if (options.shops.size() == first) {
                error = "--shops needs at least one file";
                return std::nullopt;
            }
        } else if (arg == "--port" || arg == "--withdraw-port") {
            const auto text = value(arg);
            std::uint16_t port = 0;
            if (!text || !tcpSocket::ParsePort(*text, port)) {
                if (text)
                    error = arg + ": not a port: " + *text;
                return std::nullopt;
            }
            (arg == "--port" ? options.port : options.withdrawPort) = port;
        } else if (arg == "--max-connections" || arg == "--idle-timeout" || arg == "--error-step") {
            const auto text = value(arg);
            const unsigned long limit = arg == "--error-step" ? 255 : 1000000;
            if (!text || !ParseCount(*text, limit, number) ||
                (arg == "--max-connections" && number == 0)) {
                if (text)
                    error = arg + ": not a valid number: " + *text;
                return std::nullopt;
            }
            if (arg == "--max-connections")
                options.maxConnections = number;
            else if (arg == "--idle-timeout")
                options.idleTimeout = static_cast<unsigned>(number);
            else
                options.faults.errorStep = static_cast<std::uint8_t>(number);
        } else if (arg == "--error-at" || arg == "--silent-at" || arg == "--drop-at" ||
                   arg == "--garbage-at") {
            const faultAction action = arg == "--error-at"    ? faultAction::ERROR
                                       : arg == "--silent-at" ? faultAction::SILENT
                                       : arg == "--drop-at"   ? faultAction::DROP
                                                              : faultAction::GARBAGE;
            if (!setAction(arg, action))
                return std::nullopt;
        } else if (arg == "--garbage") {
            const auto name = value(arg);
            if (!name)
                return std::nullopt;
            const auto kind = faultPlan::GarbageNamed(*name);
            if (!kind) {
                error = "--garbage: no such kind: " + *name;
                return std::nullopt;
            }
            options.faults.garbage = *kind;
        } else if (arg == "--sign-other-text") {
            options.faults.signOtherText = true;
        } else if (arg == "--wrong-shop-id") {
            options.faults.wrongShopId = true;
        } else {
            error = "unknown argument " + arg;
            return std::nullopt;
        }
    }
    if (options.faults.At(faultPoint::CLOSE) == faultAction::GARBAGE &&
        options.faults.garbage == garbageKind::SEALED) {
        error = "--garbage sealed cannot stand at close: BankClose is not sealed";
        return std::nullopt;
    }
    if (options.shops.empty())
        options.shops.push_back("kestpub.rsa");
    return options;
}
