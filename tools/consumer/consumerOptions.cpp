#include "consumerOptions.h"

#include "common/msgCodes.h"
#include "common/tcpSocket.h"

#include <charconv>

const char* const consumerOptions::USAGE = R"USAGE(usage: kestrane-consumer COMMAND [options]

A wallet for demos and tests: it obtains coins from a bank through blind
signatures, keeps them in a wallet file and pays shops with them.

Commands:
  withdraw [D...]    obtain new coins of denominations D (0 to 9; a coin of
                     denomination D is worth 2^D) from the bank's withdrawal port
  pay                pay a shop with coins of the wallet
  leave              agree a key with a shop, then leave without paying
  list               show the coins of the wallet

Options:
  --wallet FILE      the wallet (default wallet.txt; created by withdraw)
  --host ADDRESS     the bank (withdraw) or the shop (pay, leave): an address
                     or a host name (default 127.0.0.1)
  --port N           its port; needed by withdraw, pay and leave
  --bank-keys FILE   the bank's public keys, bankpub.rsa of kestrane-keygen
                     (withdraw; default bankpub.rsa)
  --shop-key FILE    the shop's id and public key, kestpub.rsa of
                     kestrane-keygen (pay, leave; default kestpub.rsa)
  --amount N         withdraw: also coins making up N, at most 65536 (one coin
                     per bit of N, coins of 512 beyond);
                     pay: the wallet's coins adding up to exactly N
  --coin I           pay: the wallet's coin number I, as list numbers them;
                     may be repeated (instead of --amount)
  --keep             pay: keep the coins in the wallet after a confirmed
                     payment, so that a demo can try to spend them again
  --timeout S        give up when the peer sends nothing for S seconds
                     (default 60; 0: wait for ever)
  --help             show this text

pay and leave print each step of the conversation with the shop, then
"Payment confirmed: N" or the shop's error text ("Shop error: TEXT"). Paid
coins leave the wallet once the payment is confirmed; after a refusal, or
when the outcome is unknown, they stay.

Wallet file: the line "kestrane-wallet 1", then one line per coin:
"<denomination> <serial number, 48 hex digits> <coin, 128 hex digits>". It is
replaced whole on every change (written beside it, then renamed).

Exit status: 0 when the command did what was asked (for pay: the shop
confirmed the amount paid); 1 when the shop or the bank refused, failed or
could not be reached; 2 for a wrong command line, or a wallet or key file
that cannot be used.
)USAGE";

namespace {

bool ParseNumber(const std::string& text, std::uint64_t limit, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
           value <= limit;
}

} // namespace

std::optional<consumerOptions> consumerOptions::Parse(int argc, char** argv, std::string& error) {
    consumerOptions options;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::uint64_t number = 0;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
        if (arg == "--keep") {
            options.keep = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            if (options.command.empty()) {
                options.command = arg;
                if (arg != "withdraw" && arg != "pay" && arg != "leave" && arg != "list") {
                    error = "unknown command " + arg;
                    return std::nullopt;
                }
            } else if (options.command == "withdraw" &&
                       ParseNumber(arg, msgCodes::COIN_KEYS - 1, number)) {
                options.denominations.push_back(static_cast<std::uint8_t>(number));
            } else {
                error = "unexpected argument " + arg;
                return std::nullopt;
            }
            continue;
        }
        if (i + 1 == args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        const std::string& text = args[++i];
        if (arg == "--wallet") {
            options.wallet = text;
        } else if (arg == "--host") {
            options.host = text;
        } else if (arg == "--bank-keys") {
            options.bankKeys = text;
        } else if (arg == "--shop-key") {
            options.shopKey = text;
        } else if (arg == "--port") {
            std::uint16_t port = 0;
            if (!tcpSocket::ParsePort(text, port) || port == 0) {
                error = "--port: not a port: " + text;
                return std::nullopt;
            }
            options.port = port;
        } else if (arg == "--amount" && ParseNumber(text, 0x7FFFFFFF, number) && number > 0) {
            options.amount = number;
        } else if (arg == "--coin" && ParseNumber(text, 1u << 30, number) && number > 0) {
            options.coins.push_back(static_cast<std::size_t>(number - 1));
        } else if (arg == "--timeout" && ParseNumber(text, 1000000, number)) {
            options.timeout = static_cast<unsigned>(number);
        } else if (arg == "--amount" || arg == "--coin" || arg == "--timeout") {
            error = arg + ": not a valid number: " + text;
            return std::nullopt;
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    const std::string& command = options.command;
    if (command.empty())
        error = "no command given";
    else if (command != "list" && !options.port)
        error = command + " needs --port";
    else if (command == "pay" && options.amount.has_value() == !options.coins.empty())
        error = "pay needs either --amount or --coin";
    else if (command == "withdraw" && options.denominations.empty() && !options.amount)
        error = "withdraw needs denominations or --amount";
    else if (command == "withdraw" && options.amount && *options.amount > MAX_WITHDRAW_AMOUNT)
        error = "withdraw --amount takes at most " + std::to_string(MAX_WITHDRAW_AMOUNT);
    else if ((command != "pay" && command != "withdraw" && options.amount) ||
             (command != "pay" && (!options.coins.empty() || options.keep)))
        error = "that option does not go with " + command;
    if (!error.empty())
        return std::nullopt;
    return options;
}
