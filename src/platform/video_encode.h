#pragma once
// Writes short films in the format the game plays (Ogg with Theora pictures and Vorbis sound) from
// drawn pictures and generated sound; the sample-data builder makes the game's films with it.
#include <cstdint>
#include <functional>
#include <string>

namespace plat {

struct FilmParams {
    int width = 320;       // multiples of 16 keep the coded picture free of padding
    int height = 240;
    int framesPerSecond = 15;
    int frameCount = 30;
    int audioRate = 22050; // mono; 0 writes a film without sound
};

// Draws picture `frame` as packed RGB bytes (3 per pixel, rows `pitch` bytes apart).
using FilmPictureFn = std::function<void(int frame, std::uint8_t* rgb, int pitch)>;
// The sound sample at `index` (at FilmParams::audioRate), -1..1.
using FilmSoundFn = std::function<float(std::int64_t index)>;

// Whether this system's FFmpeg can write such films at all.
bool FilmEncodersAvailable();

// Writes the film to hostPath; false, with a logged reason, on any failure (a partly written file
// is removed).
bool EncodeFilm(const std::string& hostPath, const FilmParams& params, const FilmPictureFn& picture,
                const FilmSoundFn& sound);

} // namespace plat
