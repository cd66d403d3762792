// fuzz_driver_main.cpp: a stand-in for libFuzzer where clang is not installed.
//
// Usage: fuzz_script_driver SECONDS [SEED_FILE...] (fuzz_raster_driver likewise)
// Runs every seed once, then keeps mutating them (byte flips, insertions, deletions, spliced
// script lines) with a fixed-seed generator until the time is up. Built with the address and
// undefined-behaviour sanitizers, so any fault aborts the run.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

const char *const FRAGMENTS[] = {"VORNA_MOUSE(", "VORNA_KBD(", "VORNA_PERIODIC(", ", ", ");", "\r\n", "\n", "\r",
                                 "-", "--", "2147483648", "-2147483649", "99999999999999999999", "0", " "};

void run(const std::string &input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.data()), input.size());
}

} // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::string> pool;
    for (int i = 2; i < argc; i++) {
        std::ifstream file(argv[i], std::ios::binary);
        pool.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    if (pool.empty()) pool.push_back(std::string("\0VORNA_KBD(97);\r\n", 17));
    for (const std::string &seed : pool) run(seed);

    std::mt19937 random(12345);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    long runs = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        for (int batch = 0; batch < 64; batch++, runs++) {
            std::string input = pool[random() % pool.size()];
            const int edits = 1 + static_cast<int>(random() % 8);
            for (int e = 0; e < edits; e++) {
                const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
                switch (random() % 4) {
                case 0:
                    if (at < input.size()) input[at] = static_cast<char>(random());
                    break;
                case 1:
                    input.insert(at, 1, static_cast<char>(random()));
                    break;
                case 2:
                    if (at < input.size()) input.erase(at, 1 + random() % 8);
                    break;
                default:
                    input.insert(at, FRAGMENTS[random() % std::size(FRAGMENTS)]);
                    break;
                }
            }
            if (input.size() > 4096) input.resize(4096);
            run(input);
            if (pool.size() < 512 && random() % 16 == 0) pool.push_back(input);
        }
    }
    std::printf("%s: %ld runs in %.0f s, no fault\n", argv[0], runs, seconds);
    return 0;
}
