#include "shopProcess.h"

#include "paymentVectors.h"
#include "shell/logReader.h"

#include <signal.h>

#include <fstream>

void shopProcess::WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder / name, std::ios::binary | std::ios::trunc) << bytes;
}

void shopProcess::WriteVectorKeys() const {
    const auto write = [&](const char* name, const char* field) {
        const paymentVectors::bytes b =
            paymentVectors::FromHex(paymentVectors::Data()[field].get<std::string>());
        WriteFile(name, std::string(b.begin(), b.end()));
    };
    write("kestpv.rsa", "kestpv_rsa_hex");
    write("bankpub.rsa", "bankpub_rsa_hex");
}

void shopProcess::WriteAddresses(unsigned int bankPort, unsigned int listenPort) const {
    WriteFile("ipaddr.bnk", "127.0.0.1\n" + std::to_string(bankPort) + "\n");
    WriteFile("ipaddr.kst", "127.0.0.1\n" + std::to_string(listenPort) + "\n");
}

void shopProcess::CopyKeysFrom(const std::filesystem::path& world) const {
    for (const char* name : {"kestpv.rsa", "bankpub.rsa"})
        std::filesystem::copy_file(world / name, folder / name,
                                   std::filesystem::copy_options::overwrite_existing);
}

void shopProcess::Start(const std::vector<std::string>& args) {
    process.Start(program, args, folder);
}

unsigned int shopProcess::StartListening() {
    Start();
    const std::optional<std::string> line = process.NextErrorLine();
    const std::string prefix = "Listening on port ";
    if (!line || !line->starts_with(prefix))
        return 0;
    return static_cast<unsigned int>(std::stoul(line->substr(prefix.size())));
}

std::vector<std::string> shopProcess::NextActivities(std::size_t count) {
    std::vector<std::string> lines;
    while (lines.size() < count) {
        std::optional<std::string> line = process.NextLine();
        if (!line)
            break;
        lines.push_back(std::move(*line));
    }
    return lines;
}

int shopProcess::Stop() {
    process.Signal(SIGTERM);
    return process.Wait();
}

std::vector<std::string> shopProcess::LoggedTexts() const {
    std::vector<std::string> texts;
    const auto entries = logReader::ReadFile(folder / "log.kst");
    if (entries) {
        for (const logEntry& entry : *entries)
            texts.push_back(entry.what == logEntry::kind::RECORD ? entry.text : "<damaged>");
    }
    return texts;
}
