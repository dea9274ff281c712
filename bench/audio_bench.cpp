// One second of the mix: 16 voices at rates other than the output's, placed in 3-D.
#include <benchmark/benchmark.h>

#include <cmath>

#include "platform/audio.h"

namespace {

void BM_MixSixteenVoicesOneSecond(benchmark::State& state)
{
    plat::SetAudioBackend(plat::AudioBackend::Capture);
    if (!plat::AudioOpen(22050)) {
        state.SkipWithError("no capture back end");
        return;
    }
    plat::ListenerParams listener;
    listener.rollOffFactor = 5.0f;
    plat::SetAudioListener(listener);
    std::vector<std::unique_ptr<plat::AudioBuffer>> voices;
    const std::uint32_t rates[4] = {11025, 16000, 44100, 8000};
    for (int v = 0; v < 16; ++v) {
        plat::PcmFormat f{rates[v % 4], 1, static_cast<std::uint16_t>(v % 2 ? 8 : 16)};
        const std::uint32_t frames = f.sampleRate; // one second each, looping
        std::vector<std::uint8_t> data(frames * f.BytesPerFrame());
        for (std::uint32_t i = 0; i < frames; ++i) {
            const double s = std::sin(i * 0.02 * (v + 1));
            if (f.bitsPerSample == 8) {
                data[i] = static_cast<std::uint8_t>(128 + 100 * s);
            } else {
                const auto x = static_cast<std::int16_t>(3000 * s);
                data[2 * i] = static_cast<std::uint8_t>(x);
                data[2 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(x) >> 8);
            }
        }
        auto b = plat::AudioBuffer::Create(f, static_cast<std::uint32_t>(data.size()), true);
        b->Write(0, data);
        plat::Sound3DParams p;
        p.x = static_cast<float>(v * 50 - 400);
        p.z = static_cast<float>(v * 30);
        p.minDistance = 240;
        p.maxDistance = 720;
        p.mode = plat::Sound3DMode::HeadRelative;
        b->Set3DParams(p);
        b->SetVolume(-300);
        b->Play(true);
        voices.push_back(std::move(b));
    }
    for (auto _ : state) {
        // The device asks in blocks of 1024 frames.
        for (int block = 0; block < 22050 / 1024 + 1; ++block)
            benchmark::DoNotOptimize(plat::AudioCaptureMix(1024));
    }
    // Seconds of processor time per second of sound: the share of one core the mix takes.
    state.counters["cpu_s_per_audio_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    voices.clear();
    plat::AudioClose();
    plat::SetAudioBackend(plat::AudioBackend::Device);
}
BENCHMARK(BM_MixSixteenVoicesOneSecond)->Unit(benchmark::kMillisecond);

} // namespace
