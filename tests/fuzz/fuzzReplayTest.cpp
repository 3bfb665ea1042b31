// Replays every kept input of every fuzz target: the seed corpus, and the
// inputs that once found a fault (regressions/<target>/), each a test of its
// own in the regular suite.

#include "fuzzTargets.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct keptInput {
    std::string target;
    std::filesystem::path path;
};

std::vector<keptInput> KeptInputs(const char* kind) {
    std::vector<keptInput> inputs;
    for (const fuzzTarget& target : FUZZ_TARGETS) {
        const std::filesystem::path folder =
            std::filesystem::path(KESTRANE_FUZZ_DATA) / kind / target.name;
        if (!std::filesystem::is_directory(folder)) {
            continue;
        }
        for (const auto& file : std::filesystem::directory_iterator(folder)) {
            if (file.is_regular_file() && file.path().extension() != ".md") {
                inputs.push_back({std::string(target.name), file.path()});
            }
        }
    }
    return inputs;
}

void Replay(const keptInput& input) {
    std::ifstream in(input.path, std::ios::binary);
    ASSERT_TRUE(in) << input.path;
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    for (const fuzzTarget& target : FUZZ_TARGETS) {
        if (target.name == input.target) {
            // A fault aborts or is reported by the sanitizers of the build.
            EXPECT_EQ(target.entry(bytes.data(), bytes.size()), 0);
            return;
        }
    }
    FAIL() << "no fuzz target " << input.target;
}

std::string TestName(const ::testing::TestParamInfo<keptInput>& info) {
    std::string name = info.param.target + "_" + info.param.path.stem().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

class fuzzRegressionTest : public ::testing::TestWithParam<keptInput> {};
class fuzzCorpusTest : public ::testing::TestWithParam<keptInput> {};

TEST_P(fuzzRegressionTest, StaysFixed) {
    Replay(GetParam());
}

TEST_P(fuzzCorpusTest, RunsClean) {
    Replay(GetParam());
}

INSTANTIATE_TEST_SUITE_P(kept, fuzzRegressionTest, ::testing::ValuesIn(KeptInputs("regressions")),
                         TestName);
INSTANTIATE_TEST_SUITE_P(seeds, fuzzCorpusTest, ::testing::ValuesIn(KeptInputs("corpus")),
                         TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(fuzzRegressionTest);

} // namespace
