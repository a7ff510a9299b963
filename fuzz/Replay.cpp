// Runs a fuzz target once on every seed of its corpus, without libFuzzer: the target's properties
// judge each seed, and a broken one aborts. CTest runs it in every build, so a seed is a test case.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char *argv[])
{
    std::vector<std::filesystem::path> seeds;
    for (int i = 1; i < argc; ++i) {
        for (const auto &entry : std::filesystem::directory_iterator(argv[i]))
            seeds.push_back(entry.path());
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "replay: no seeds in the folders given\n");
        return 1;
    }
    for (const std::filesystem::path &seed : seeds) {
        std::ifstream file(seed, std::ios::binary);
        const std::vector<char> bytes { std::istreambuf_iterator<char>(file), {} };
        std::fprintf(stderr, "replay: %s\n", seed.filename().c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    }
    std::printf("replay: %zu seeds, every property held\n", seeds.size());
    return 0;
}
