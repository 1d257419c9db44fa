// Every seed of the fuzz corpora (fuzz/corpus/<target>/) run through its target's own oracle: the
// streaming reader against the whole-text split, the numbers against an exact decimal reading,
// the command text's dispatch, the INI engine against its model, a whole restore against a model
// of its rule. So the rules the corpora hold are checked by every build's unit tests (the Windows
// build's too, under Wine), not only by the fuzz run, which only the clang build makes.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The fuzz targets' entry points, each renamed for this binary (tests/CMakeLists.txt).
extern "C" int RestoreFuzzOne(const std::uint8_t* data, std::size_t size);
extern "C" int NumericFuzzOne(const std::uint8_t* data, std::size_t size);
extern "C" int CommandFuzzOne(const std::uint8_t* data, std::size_t size);
extern "C" int IniFuzzOne(const std::uint8_t* data, std::size_t size);
extern "C" int LayoutLinesFuzzOne(const std::uint8_t* data, std::size_t size);

namespace {

TEST(CorpusReplay, EverySeedHoldsItsTargetsRules) {
    using Target = int (*)(const std::uint8_t*, std::size_t);
    const std::pair<const char*, Target> targets[] = {{"restore", RestoreFuzzOne},
                                                      {"numeric", NumericFuzzOne},
                                                      {"command", CommandFuzzOne},
                                                      {"ini", IniFuzzOne},
                                                      {"layout_lines", LayoutLinesFuzzOne}};
    for (const auto& [name, run] : targets) {
        const std::filesystem::path folder = std::filesystem::path(PINDREL_CORPUS) / name;
        std::vector<std::filesystem::path> seeds;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            seeds.push_back(entry.path());
        EXPECT_GE(seeds.size(), 5u) << "the corpus of " << name << " at " << folder;
        for (const std::filesystem::path& seed : seeds) {
            SCOPED_TRACE(std::string(name) + "/" + seed.filename().string());
            std::ifstream in(seed, std::ios::binary);
            ASSERT_TRUE(in) << seed;
            const std::string bytes{std::istreambuf_iterator<char>(in), {}};
            EXPECT_NO_THROW(run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        }
    }
}

} // namespace
