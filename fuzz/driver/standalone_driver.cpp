// Runs a fuzz target without libFuzzer: every file named on the command line is replayed, then
// -runs=N (default 2000) inputs from a seeded generator are fed. -max_total_time=S bounds the time.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    long runs = 2000;
    double maxSeconds = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "-runs=", 6) == 0) {
            runs = std::strtol(argv[i] + 6, nullptr, 10);
        } else if (std::strncmp(argv[i], "-max_total_time=", 16) == 0) {
            maxSeconds = std::strtod(argv[i] + 16, nullptr);
        } else if (argv[i][0] != '-') {
            std::ifstream in(argv[i], std::ios::binary);
            std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        }
    }
    std::mt19937 gen(12345);
    const auto start = std::chrono::steady_clock::now();
    for (long r = 0; r < runs; ++r) {
        if (maxSeconds > 0 && std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > maxSeconds)
            break;
        std::vector<std::uint8_t> bytes(gen() % 4096);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(gen());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("standalone fuzz driver: done\n");
    return 0;
}
