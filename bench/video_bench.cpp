// Decoding a film: pictures per second at the film's size and scaled into the screen modes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "films.h"
#include "platform/video.h"

namespace {

const std::string& FilmPath()
{
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() / "korvela-bench-film.ogm").string();
        if (!sampledata::WriteFilm(p, sampledata::Film::Intro))
            std::fprintf(stderr, "cannot write the benchmark film\n");
        return p;
    }();
    return path;
}

// Arguments: output width and height (0 keeps the film's size).
void BM_DecodeFilm(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    std::int64_t pictures = 0;
    for (auto _ : state) {
        plat::VideoDecoder decoder;
        if (!decoder.Open(FilmPath())) {
            state.SkipWithError("no film");
            return;
        }
        if (width > 0)
            decoder.SetOutput(width, height, plat::PixelFormat::RGB565);
        plat::PixelBuffer picture;
        std::vector<std::int16_t> sound;
        std::int64_t timeMs = 0;
        while (decoder.DecodeNext(picture, timeMs) == 1) {
            decoder.TakeAudio(sound);
            sound.clear();
            ++pictures;
        }
        benchmark::DoNotOptimize(picture.Bits());
    }
    state.counters["pictures/s"] = benchmark::Counter(static_cast<double>(pictures), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeFilm)->Args({0, 0})->Args({800, 600})->Args({1280, 960})->Unit(benchmark::kMillisecond);

} // namespace
