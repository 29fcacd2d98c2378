// Runs a fuzz target over a saved corpus without libFuzzer's loop, and prints how long one
// input takes: what the target itself costs, apart from the engine's bookkeeping.
//   fuzz_console_replay CORPUS_DIR [ROUNDS]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR [ROUNDS]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::stoi(argv[2])) : 20;
    LLVMFuzzerInitialize(&argc, &argv);

    std::vector<std::string> inputs;
    std::size_t bytes = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::ifstream file(entry.path(), std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        bytes += inputs.back().size();
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "%s: no inputs in %s\n", argv[0], argv[1]);
        return 1;
    }
    // One round first, untimed: the allocator's first touches of fresh memory are not the
    // target's cost.
    for (const std::string &input : inputs) {
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.data()), input.size());
    }
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        for (const std::string &input : inputs) {
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.data()),
                                   input.size());
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double runs = double(rounds) * double(inputs.size());
    std::printf("%zu inputs, %.1f bytes on average, %d rounds: %.1f us an input, %.0f inputs/s\n",
                inputs.size(), double(bytes) / double(inputs.size()), rounds, 1e6 * seconds / runs,
                runs / seconds);
    return 0;
}
