#include "wdrlClient.h"

#include "blindFactor.h"
#include "common/coinList.h"
#include "common/msgCodes.h"
#include "common/peerLink.h"

#include <cryptopp/integer.h>
#include <cryptopp/osrng.h>

namespace {
using mc = msgCodes;
constexpr std::size_t BATCH = 256;
} // namespace

wdrlClient::wdrlClient(int descriptor, const std::vector<PublicRsaKey>& keys)
    : fd(descriptor), coinKeys(keys) {}

std::optional<std::vector<walletCoin>>
wdrlClient::Withdraw(const std::vector<std::uint8_t>& denominations, std::string& error) {
    std::vector<walletCoin> coins;
    for (std::size_t first = 0; first < denominations.size(); first += BATCH) {
        const std::size_t end = std::min(denominations.size(), first + BATCH);
        const std::vector<std::uint8_t> batch(denominations.begin() + first,
                                              denominations.begin() + end);
        if (!WithdrawBatch(batch, coins, error))
            return std::nullopt;
    }
    return coins;
}

bool wdrlClient::WithdrawBatch(const std::vector<std::uint8_t>& denominations,
                               std::vector<walletCoin>& coins, std::string& error) {
    CryptoPP::AutoSeededRandomPool rng;
    std::vector<coinIdent> idents;
    std::vector<CryptoPP::Integer> factors;
    std::vector<coinRecord> request;
    for (const std::uint8_t d : denominations) {
        const PublicRsaKey& key = coinKeys.at(d);
        idents.push_back(coinFormat::NewCoin(d, rng));
        const CryptoPP::Integer factor = blindFactor::Draw(key, rng);
        CryptoPP::Integer blinded;
        key.Blind(factor, coinFormat::Message(idents.back()), blinded);
        factors.push_back(factor);
        coinRecord record{d, bytes(mc::RSA_BLOCK)};
        blinded.Encode(record.value.data(), record.value.size());
        request.push_back(std::move(record));
    }

    peerLink link(fd);
    if (!link.Send(mc::PKT_DATA, mc::WITHDRAW_STEP, coinList::Encode(request))) {
        error = "the connection to the bank failed";
        return false;
    }
    packetIn answer;
    const linkResult got = link.Receive(answer);
    if (got != linkResult::PACKET) {
        error = std::string("no answer from the bank: ") + LinkResultText(got);
        return false;
    }
    if (answer.type == mc::PKT_ERROR) {
        error = "the bank refused: " + byteUtil::PrintableText(answer.data);
        return false;
    }
    const auto signatures = coinList::Decode(answer.data);
    if (answer.type != mc::PKT_REPLY || answer.step != mc::WITHDRAW_STEP || !signatures ||
        signatures->size() != denominations.size()) {
        error = "the bank's answer is not an answer to the request";
        return false;
    }
    for (std::size_t i = 0; i < denominations.size(); ++i) {
        const coinRecord& record = (*signatures)[i];
        CryptoPP::Integer coin(record.value.data(), record.value.size());
        if (record.denomination != denominations[i] ||
            !coinKeys[denominations[i]].UnblindAndVerify(factors[i], coinFormat::Message(idents[i]),
                                                         coin)) {
            error = "the bank's signature of coin " + std::to_string(i + 1) + " does not verify";
            return false;
        }
        walletCoin signedCoin{idents[i], bytes(mc::RSA_BLOCK)};
        coin.Encode(signedCoin.value.data(), signedCoin.value.size());
        coins.push_back(std::move(signedCoin));
    }
    return true;
}
