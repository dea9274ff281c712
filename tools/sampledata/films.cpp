#include "films.h"

#include <cmath>

#include "core/error_log.h"
#include "platform/paths.h"
#include "platform/video_encode.h"
#include "sample_data.h"

namespace sampledata {

namespace {

const FilmInfo kFilms[] = {
    {"Velm.ogm", 30, 440.0f},
    {"IntroRussian.ogm", 45, 330.0f},
    {"Credits.ogm", 45, 550.0f},
};

struct Palette {
    std::uint8_t top[3];
    std::uint8_t bottom[3];
    std::uint8_t block[3];
};

const Palette kPalettes[] = {
    {{20, 30, 90}, {90, 140, 220}, {250, 220, 60}},
    {{70, 40, 20}, {200, 160, 100}, {230, 40, 40}},
    {{10, 60, 30}, {120, 200, 140}, {240, 240, 240}},
};

bool WriteList(const std::string& outDir, const char* name, const std::vector<std::string>& entries)
{
    std::string text;
    for (const std::string& entry : entries)
        text += entry + "\r\n";
    return WriteFileBytes(outDir, name, text.data(), text.size());
}

} // namespace

const FilmInfo& GetFilmInfo(Film film)
{
    return kFilms[static_cast<int>(film)];
}

void DrawFilmPicture(Film film, int frame, std::uint8_t* rgb, int pitch)
{
    const Palette& pal = kPalettes[static_cast<int>(film)];
    const int frames = GetFilmInfo(film).frameCount;
    const int blockSize = 64;
    const int blockX = (kFilmWidth - blockSize) * frame / (frames > 1 ? frames - 1 : 1);
    const int blockY = (kFilmHeight - blockSize) / 2;
    for (int y = 0; y < kFilmHeight; ++y) {
        std::uint8_t* row = rgb + static_cast<std::size_t>(y) * pitch;
        std::uint8_t shade[3];
        for (int c = 0; c < 3; ++c)
            shade[c] = static_cast<std::uint8_t>(pal.top[c] + (pal.bottom[c] - pal.top[c]) * y / (kFilmHeight - 1));
        for (int x = 0; x < kFilmWidth; ++x) {
            const bool inBlock = x >= blockX && x < blockX + blockSize && y >= blockY && y < blockY + blockSize;
            // Bars along the bottom count the frame in binary, so every picture differs from the last.
            const int bar = x / 20;
            const bool counterRow = y >= kFilmHeight - 16 && bar < 8 && (x % 20) < 16;
            const bool barLit = counterRow && ((frame >> bar) & 1) != 0;
            const std::uint8_t* colour = inBlock || barLit ? pal.block : (counterRow ? pal.top : shade);
            row[x * 3 + 0] = colour[0];
            row[x * 3 + 1] = colour[1];
            row[x * 3 + 2] = colour[2];
        }
    }
}

bool WriteFilm(const std::string& hostPath, Film film)
{
    const FilmInfo& info = GetFilmInfo(film);
    plat::FilmParams params;
    params.width = kFilmWidth;
    params.height = kFilmHeight;
    params.framesPerSecond = kFilmFramesPerSecond;
    params.frameCount = info.frameCount;
    params.audioRate = kFilmAudioRate;
    const float tone = info.toneHz;
    return plat::EncodeFilm(
        hostPath, params, [film](int frame, std::uint8_t* rgb, int pitch) { DrawFilmPicture(film, frame, rgb, pitch); },
        [tone](std::int64_t i) {
            const double t = static_cast<double>(i) / kFilmAudioRate;
            return static_cast<float>(0.3 * std::sin(2.0 * 3.14159265358979 * tone * t));
        });
}

bool WriteFilms(const std::string& outDir)
{
    if (!plat::FilmEncodersAvailable()) {
        ReportError("sampledata: this FFmpeg has no Theora or Vorbis encoder; no films written");
        return false;
    }
    if (!plat::MakeDirectories(outDir + "/Media"))
        return false;
    for (Film film : {Film::Logo, Film::Intro, Film::Credits}) {
        if (!WriteFilm(outDir + "/Media/" + GetFilmInfo(film).fileName, film))
            return false;
    }
    return WriteVideoLists(outDir, {"None", "Velm.ogm", "IntroRussian.ogm"}, {"Credits.ogm"});
}

bool WriteVideoLists(const std::string& outDir, const std::vector<std::string>& videos,
                     const std::vector<std::string>& credits)
{
    return WriteList(outDir, "Media/Video.inf", videos) && WriteList(outDir, "Media/Credits.inf", credits);
}

} // namespace sampledata
