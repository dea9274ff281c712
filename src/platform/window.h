#pragma once
// The game's window and the presentation of its front image: SDL owns the window; the image is a
// 16-bit picture uploaded to a streaming texture and scaled to the window with its aspect kept.
// Full-screen modes become a full-screen-desktop window; the windowed arrangement is a normal one.
// With SDL's dummy video driver everything runs headless.
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/surface.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace plat {

class Window {
public:
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Full-screen desktop or a normal window showing an image of width x height. Keeps the window.
    bool SetPresentation(bool fullScreen, int imageWidth, int imageHeight);
    bool IsFullScreen() const { return m_FullScreen; }
    int ImageWidth() const { return m_ImageWidth; }
    int ImageHeight() const { return m_ImageHeight; }
    // Shows the image (16-bit colour surface of any size; it is scaled). Main thread only.
    bool Present(const Surface& image);
    std::uint64_t PresentCount() const { return m_PresentCount; }

    // Another thread changed the front image (the mouse thread's cursor); the main thread presents
    // again when it takes the flag.
    void MarkFrontChanged() { m_FrontChanged.store(true, std::memory_order_release); }
    bool TakeFrontChanged() { return m_FrontChanged.exchange(false, std::memory_order_acq_rel); }

    SDL_Window* Native() const { return m_Window; }
    // Whether the window has the keyboard focus (a headless display counts as focused).
    bool HasInputFocus() const;

private:
    friend Window* CreateMainWindow(const char* title, int width, int height, bool fullScreen);
    Window() = default;
    bool EnsureTexture(int width, int height, PixelFormat format);

    SDL_Window* m_Window = nullptr;
    SDL_Renderer* m_Renderer = nullptr;
    SDL_Texture* m_Texture = nullptr;
    int m_TextureWidth = 0;
    int m_TextureHeight = 0;
    PixelFormat m_TextureFormat = PixelFormat::RGB565;
    bool m_FullScreen = false;
    int m_ImageWidth = 0;
    int m_ImageHeight = 0;
    std::uint64_t m_PresentCount = 0;
    std::atomic<bool> m_FrontChanged{false};
};

// Starts SDL's video subsystem and makes the one main window (an existing one is returned as is).
// Null, logged, when SDL cannot open a window.
Window* CreateMainWindow(const char* title, int width, int height, bool fullScreen);
// Destroys the main window and stops the video subsystem.
void DestroyMainWindow();
Window* MainWindow();

// A message box where a display exists; standard error when headless.
void ShowMessageBox(const char* caption, const char* text);

// What the display device reports: its video memory (which decides the modes offered) and the
// 16-bit pixel format of its screen surfaces. Both can be set, for tests and for trying the
// 5-5-5 path.
std::uint64_t VideoMemoryBytes();
void SetVideoMemoryBytes(std::uint64_t bytes);
PixelFormat DisplayFormat();
void SetDisplayFormat(PixelFormat format);
// The machine's physical memory in kilobytes, all of it and what is free; false when the system
// does not tell.
bool PhysicalMemoryKb(std::uint64_t& total, std::uint64_t& free);

// Writes a surface of a colour format as a 24-bit BMP file through an atomic write.
bool WriteSurfaceBmp(const Surface& surface, const std::string& hostPath);

} // namespace plat
