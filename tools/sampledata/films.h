#pragma once
// The game's films: a logo, an intro and the credits, drawn frame by frame with a tone under them,
// and the two lists that name them (Media\Video.inf, Media\Credits.inf).
#include <cstdint>
#include <string>
#include <vector>

namespace sampledata {

enum class Film : std::uint8_t { Logo, Intro, Credits };

struct FilmInfo {
    const char* fileName; // as the lists name it, in the folder Media
    int frameCount;
    float toneHz;
};

constexpr int kFilmWidth = 320;
constexpr int kFilmHeight = 240;
constexpr int kFilmFramesPerSecond = 15;
constexpr int kFilmAudioRate = 22050;

const FilmInfo& GetFilmInfo(Film film);

// Draws picture `frame` of a film as packed RGB (3 bytes per pixel, rows `pitch` bytes apart):
// a vertical colour gradient with a bright block that crosses the picture, plus a frame counter
// of bars along the bottom.
void DrawFilmPicture(Film film, int frame, std::uint8_t* rgb, int pitch);

// Writes one film to a host path.
bool WriteFilm(const std::string& hostPath, Film film);

// Writes Media\Video.inf and Media\Credits.inf with the given entries (CR LF line ends).
bool WriteVideoLists(const std::string& outDir, const std::vector<std::string>& videos,
                     const std::vector<std::string>& credits);

// Writes Media\Velm.ogm, Media\IntroRussian.ogm, Media\Credits.ogm and the two lists.
bool WriteFilms(const std::string& outDir);

} // namespace sampledata
