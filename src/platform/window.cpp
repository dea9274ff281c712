#include "platform/window.h"

#include <SDL.h>
#include <sys/sysinfo.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/paths.h"

namespace plat {

namespace {

std::unique_ptr<Window> g_MainWindow;
std::uint64_t g_VideoMemory = 64ull * 1024 * 1024;
PixelFormat g_DisplayFormat = PixelFormat::RGB565;

Uint32 SdlFormat(PixelFormat format)
{
    return format == PixelFormat::RGB555 ? SDL_PIXELFORMAT_RGB555 : SDL_PIXELFORMAT_RGB565;
}

bool Headless()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return std::getenv("KORVELA_HEADLESS") != nullptr || !driver || SDL_strcmp(driver, "dummy") == 0 ||
           SDL_strcmp(driver, "offscreen") == 0;
}

} // namespace

Window::~Window()
{
    if (m_Texture)
        SDL_DestroyTexture(m_Texture);
    if (m_Renderer)
        SDL_DestroyRenderer(m_Renderer);
    if (m_Window)
        SDL_DestroyWindow(m_Window);
}

Window* CreateMainWindow(const char* title, int width, int height, bool fullScreen)
{
    if (g_MainWindow)
        return g_MainWindow.get();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        plat::LogError2("SDL_InitSubSystem(video) FAILED: ", SDL_GetError());
        return nullptr;
    }
    std::unique_ptr<Window> w(new Window());
    const Uint32 flags = fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_RESIZABLE;
    w->m_Window = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (!w->m_Window) {
        plat::LogError2("SDL_CreateWindow FAILED: ", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    w->m_Renderer = SDL_CreateRenderer(w->m_Window, -1, 0);
    if (!w->m_Renderer) {
        plat::LogError2("SDL_CreateRenderer FAILED: ", SDL_GetError());
        w.reset();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    // Scale with the aspect kept; the bars around the picture are black. Nearest-pixel scaling is
    // the cheapest SDL has: a filtered scale of every frame cost a third of the program's time
    // under a real display. A window of the picture's own size copies it unscaled.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    w->m_FullScreen = fullScreen;
    w->m_ImageWidth = width;
    w->m_ImageHeight = height;
    SDL_RenderSetLogicalSize(w->m_Renderer, width, height);
    g_MainWindow = std::move(w);
    return g_MainWindow.get();
}

void DestroyMainWindow()
{
    if (!g_MainWindow)
        return;
    g_MainWindow.reset();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // The last subsystem out lets SDL give back what it holds for the whole process (its D-Bus
    // connection among them).
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0)
        SDL_Quit();
}

Window* MainWindow()
{
    return g_MainWindow.get();
}

bool Window::SetPresentation(bool fullScreen, int imageWidth, int imageHeight)
{
    if (imageWidth <= 0 || imageHeight <= 0)
        return false;
    if (fullScreen != m_FullScreen) {
        if (SDL_SetWindowFullscreen(m_Window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
            plat::LogError2("SDL_SetWindowFullscreen FAILED: ", SDL_GetError());
            return false;
        }
        m_FullScreen = fullScreen;
    }
    if (!fullScreen)
        SDL_SetWindowSize(m_Window, imageWidth, imageHeight);
    m_ImageWidth = imageWidth;
    m_ImageHeight = imageHeight;
    SDL_RenderSetLogicalSize(m_Renderer, imageWidth, imageHeight);
    return true;
}

bool Window::EnsureTexture(int width, int height, PixelFormat format)
{
    if (m_Texture && m_TextureWidth == width && m_TextureHeight == height && m_TextureFormat == format)
        return true;
    if (m_Texture)
        SDL_DestroyTexture(m_Texture);
    m_Texture = SDL_CreateTexture(m_Renderer, SdlFormat(format), SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!m_Texture) {
        plat::LogError2("SDL_CreateTexture FAILED: ", SDL_GetError());
        return false;
    }
    m_TextureWidth = width;
    m_TextureHeight = height;
    m_TextureFormat = format;
    return true;
}

bool Window::Present(const Surface& image)
{
    const PixelFormat format = image.Format();
    if (format != PixelFormat::RGB565 && format != PixelFormat::RGB555)
        return false;
    if (image.Width() <= 0 || image.Height() <= 0 || !EnsureTexture(image.Width(), image.Height(), format))
        return false;
    if (SDL_UpdateTexture(m_Texture, nullptr, image.Pixels().Bits(), image.Pixels().Pitch()) != 0) {
        plat::LogError2("SDL_UpdateTexture FAILED: ", SDL_GetError());
        return false;
    }
    if (image.Width() != m_ImageWidth || image.Height() != m_ImageHeight) {
        m_ImageWidth = image.Width();
        m_ImageHeight = image.Height();
        SDL_RenderSetLogicalSize(m_Renderer, m_ImageWidth, m_ImageHeight);
    }
    SDL_SetRenderDrawColor(m_Renderer, 0, 0, 0, 255);
    SDL_RenderClear(m_Renderer);
    SDL_RenderCopy(m_Renderer, m_Texture, nullptr, nullptr);
    SDL_RenderPresent(m_Renderer);
    ++m_PresentCount;
    return true;
}

void ShowMessageBox(const char* caption, const char* text)
{
    caption = caption ? caption : "";
    text = text ? text : "";
    const bool haveDisplay = SDL_WasInit(SDL_INIT_VIDEO) != 0 && !Headless();
    if (haveDisplay &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, g_MainWindow ? g_MainWindow->Native() : nullptr) == 0)
        return;
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

std::uint64_t VideoMemoryBytes()
{
    return g_VideoMemory;
}

void SetVideoMemoryBytes(std::uint64_t bytes)
{
    g_VideoMemory = bytes;
}

PixelFormat DisplayFormat()
{
    return g_DisplayFormat;
}

bool PhysicalMemoryKb(std::uint64_t& total, std::uint64_t& free)
{
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return false;
    total = static_cast<std::uint64_t>(info.totalram) * info.mem_unit / 1024;
    free = static_cast<std::uint64_t>(info.freeram) * info.mem_unit / 1024;
    return true;
}

void SetDisplayFormat(PixelFormat format)
{
    g_DisplayFormat = format;
}

bool WriteSurfaceBmp(const Surface& surface, const std::string& hostPath)
{
    PixelMasks masks;
    if (!GetPixelMasks(surface.Format(), masks) || surface.Width() <= 0 || surface.Height() <= 0) {
        plat::LogError2("WriteSurfaceBmp: no colour picture for ", hostPath);
        return false;
    }
    const int w = surface.Width(), h = surface.Height();
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(w) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(h);
    std::vector<std::uint8_t> out(54 + static_cast<std::size_t>(imageBytes), 0);
    auto put16 = [&](std::size_t at, std::uint32_t v) {
        out[at] = static_cast<std::uint8_t>(v);
        out[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    put16(26, 1);
    put16(28, 24);
    put32(34, imageBytes);
    put32(38, 2835);
    put32(42, 2835);
    const bool wide = BytesPerPixel(surface.Format()) == 4;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* dst = out.data() + 54 + static_cast<std::size_t>(h - 1 - y) * rowBytes;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = wide ? surface.Pixels().Row32(y)[x] : surface.Pixels().Row16(y)[x];
            const std::uint32_t c = PixelToColorRef(surface.Format(), p);
            dst[x * 3] = static_cast<std::uint8_t>(c >> 16);
            dst[x * 3 + 1] = static_cast<std::uint8_t>(c >> 8);
            dst[x * 3 + 2] = static_cast<std::uint8_t>(c);
        }
    }
    if (!WriteFileAtomic(hostPath, out.data(), out.size())) {
        plat::LogError2("WriteSurfaceBmp: cannot write ", hostPath);
        return false;
    }
    return true;
}

} // namespace plat

namespace plat {

bool Window::HasInputFocus() const
{
    if (!m_Window)
        return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (std::string(driver) == "dummy" || std::string(driver) == "offscreen"))
        return true;
    return (SDL_GetWindowFlags(m_Window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

} // namespace plat
