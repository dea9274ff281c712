#include "platform/raster.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/texture.h"

namespace plat {

namespace {

// Depth values are kept on a grid of 1/64: the z of a vertex is a float made from such a value by
// the depth rule, and the grid takes the float's rounding back out, so that a vertex at a given
// value gets exactly the Z-buffer value that software drawing writes by hand for it.
constexpr double kDepthGrid = 64.0;
constexpr double kDepthScale = 15.9998;
constexpr double kMaxDepthValue = 4096.0 * 0.99999;
// Sub-pixel precision of vertex positions (4 bits).
constexpr int kSubBits = 4;
constexpr std::int64_t kSub = 1 << kSubBits;
// Vertices farther than this from the origin are refused rather than risk overflow.
constexpr float kMaxCoord = 1.0e6f;

// floor of a double within the int64 range, without a library call.
inline std::int64_t FastFloor(double d)
{
    const std::int64_t t = static_cast<std::int64_t>(d);
    return t - (d < static_cast<double>(t) ? 1 : 0);
}

double DepthValueOfZ(float z)
{
    double value = (0.99999 - static_cast<double>(z)) * 4096.0;
    if (!(value > 0.0))
        value = 0.0;
    if (value > kMaxDepthValue)
        value = kMaxDepthValue;
    return static_cast<double>(FastFloor(value * kDepthGrid + 0.5)) / kDepthGrid;
}

// Z-buffer value of depth units (value x 15.9998).
inline std::uint32_t DepthFromUnits(double units)
{
    if (!(units > 0.0))
        return 65535;
    if (units >= 65535.0)
        return 0;
    return 65535u - static_cast<std::uint32_t>(units);
}

inline std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}
inline std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

// The same for the per-row edge crossings, where a hardware division per edge and row would cost
// more than the row's pixels: the quotient in double, then corrected to the exact integer. |a| and
// |b| stay far below 2^53, so the estimate is off by at most one.
// b > 0 and inv = 1 / b.
inline std::int64_t FloorDivFast(std::int64_t a, std::int64_t b, double inv)
{
    std::int64_t q = FastFloor(static_cast<double>(a) * inv);
    if (q * b > a)
        --q;
    else if ((q + 1) * b <= a)
        ++q;
    return q;
}

// Bits of a compare function: bit 0 passes "less", bit 1 "equal", bit 2 "greater".
std::uint32_t CompareMask(CompareFunc f)
{
    switch (f) {
    case CompareFunc::Never: return 0;
    case CompareFunc::Less: return 1;
    case CompareFunc::Equal: return 2;
    case CompareFunc::LessEqual: return 3;
    case CompareFunc::Greater: return 4;
    case CompareFunc::NotEqual: return 5;
    case CompareFunc::GreaterEqual: return 6;
    case CompareFunc::Always: return 7;
    }
    return 7;
}
inline bool Passes(std::uint32_t mask, std::uint32_t a, std::uint32_t b)
{
    const std::uint32_t idx = a < b ? 0u : (a == b ? 1u : 2u);
    return (mask >> idx) & 1u;
}

// a x b / 255 rounded to nearest, exact for 8-bit a and b.
inline std::uint32_t Mul8(std::uint32_t a, std::uint32_t b)
{
    const std::uint32_t t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

inline std::uint32_t Chan(std::uint32_t c, int shift) { return (c >> shift) & 0xFF; }

// ARGB of a 16-bit target pixel, channels widened by repeating their top bits.
inline std::uint32_t ExpandTarget(std::uint16_t p, bool is565)
{
    std::uint32_t r, g;
    if (is565) {
        r = (p >> 11) & 0x1F;
        g = (p >> 5) & 0x3F;
        g = (g << 2) | (g >> 4);
    } else {
        r = (p >> 10) & 0x1F;
        g = (p >> 5) & 0x1F;
        g = (g << 3) | (g >> 2);
    }
    const std::uint32_t b = p & 0x1F;
    return 0xFF000000u | ((r << 3) | (r >> 2)) << 16 | g << 8 | ((b << 3) | (b >> 2));
}
inline std::uint16_t PackTarget(std::uint32_t r, std::uint32_t g, std::uint32_t b, bool is565)
{
    if (is565)
        return static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    return static_cast<std::uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

// One stage-0 operation on one 8-bit channel.
inline std::uint32_t ApplyOp(TextureOp op, std::uint32_t a1, std::uint32_t a2)
{
    switch (op) {
    case TextureOp::Disable: return a2;
    case TextureOp::SelectArg1: return a1;
    case TextureOp::SelectArg2: return a2;
    case TextureOp::Modulate: return Mul8(a1, a2);
    case TextureOp::Modulate2x: return std::min<std::uint32_t>(255, Mul8(a1, a2) * 2);
    case TextureOp::Modulate4x: return std::min<std::uint32_t>(255, Mul8(a1, a2) * 4);
    case TextureOp::Add: return std::min<std::uint32_t>(255, a1 + a2);
    case TextureOp::AddSigned: {
        const int v = static_cast<int>(a1) + static_cast<int>(a2) - 128;
        return static_cast<std::uint32_t>(std::clamp(v, 0, 255));
    }
    case TextureOp::Subtract: return a1 > a2 ? a1 - a2 : 0;
    case TextureOp::AddSmooth: return std::min<std::uint32_t>(255, a1 + a2 - Mul8(a1, a2));
    }
    return a1;
}


// The blend factors of the three colour channels at once (bytes 2, 1, 0); src and dst are ARGB.
inline std::uint32_t FactorWord(BlendFactor f, std::uint32_t src, std::uint32_t dst)
{
    auto splat = [](std::uint32_t v) { return v * 0x010101u; };
    switch (f) {
    case BlendFactor::Zero: return 0;
    case BlendFactor::One: return 0xFFFFFFu;
    case BlendFactor::SrcColor: return src & 0xFFFFFFu;
    case BlendFactor::InvSrcColor: return ~src & 0xFFFFFFu;
    case BlendFactor::SrcAlpha: return splat(src >> 24);
    case BlendFactor::InvSrcAlpha: return splat(255 - (src >> 24));
    case BlendFactor::DestAlpha: return 0xFFFFFFu; // the target has no alpha channel: reads as opaque
    case BlendFactor::InvDestAlpha: return 0;
    case BlendFactor::DestColor: return dst & 0xFFFFFFu;
    case BlendFactor::InvDestColor: return ~dst & 0xFFFFFFu;
    }
    return 0xFFFFFFu;
}


// Everything a span needs, derived once per draw.
struct DrawSetup {
    PixelBuffer* color = nullptr;
    PixelBuffer* depth = nullptr;
    Rect clip{};
    bool is565 = true;

    const RasterState* state = nullptr;
    bool zTest = false;
    bool zWrite = false;
    std::uint32_t zMask = 7;
    std::uint32_t zBias = 0;
    bool alphaTest = false;
    std::uint32_t alphaMask = 7;
    std::uint32_t alphaRef = 0;
    bool blend = false;

    // The texture: its raw pixels (rows of texStride pixels, 16 or 32 bits), the table that widens
    // 16-bit pixels to ARGB, and, for the direct sprite path, the picture in the target's format.
    bool hasTexture = false;
    const std::uint8_t* texRaw = nullptr;
    int texStride = 0;
    bool tex32 = false;
    const std::uint32_t* expand = nullptr;
    const std::uint16_t* display = nullptr;
    bool zFuncLessEqual = false;
    // Stage arguments as indices into {texel, diffuse, texture factor}: colour 1, 2, alpha 1, 2.
    std::uint8_t argIndex[4] = {0, 1, 0, 1};
    int texW = 0;
    int texH = 0;
    bool texPow2 = false;
    bool keyed = false;
    std::uint32_t key = 0; // raw, in the texture's format
    bool linear = false;
    // The colour is the texel itself (modulated by white, or selected): no per-pixel operation.
    bool texelOnly = false;
    // The colour is the texel modulated by one diffuse colour for the whole draw, and alpha plays
    // no part (no alpha test, no blending): the direct path reads a copy modulated in advance.
    bool constantModulate = false;
    std::uint32_t modulateColor = 0xFFFFFFu;
    // Every vertex of the draw has this diffuse colour (ARGB): no colour varies across a primitive.
    bool constantDiffuse = false;
    std::uint32_t diffuse = 0xFFFFFFFFu;
    const Texture* stateTexture = nullptr;
    // DESTCOLOR/INVSRCALPHA stage spans: per texture row, the planes of each channel's factor
    // (stage result + 255 - alpha) and of the texels drawn (0xFFFF, or 0 where keyed), made once
    // per texture and settings; and the span for rows that cannot read them in runs.
    const std::uint16_t* factorPlanes = nullptr;
    // Opaque and SRCALPHA/INVSRCALPHA stage spans: per texture row, the stage colours in the
    // target's format and their alphas (kKeyedTexel where keyed).
    const std::uint16_t* colorPlanes = nullptr;
    // The stage span for rows that cannot read the planes in runs.
    void (*planeFallback)(const DrawSetup&, int, int, int, struct SpanStart) = nullptr;
    // Pixels handed to spans by this draw, added to the shared counters once at its end.
    mutable std::uint64_t pixels = 0;
};

// Relaxed: only sums are read, and only after the draws being counted have returned.
std::atomic<std::uint64_t> g_RasterDraws{0};
std::atomic<std::uint64_t> g_RasterPixels{0};
std::atomic<std::uint64_t> g_RasterBanded{0};

// Drawing threads. A large draw is cut into horizontal bands of the clip; each band runs every
// primitive of the draw, in order, clipped to its rows. A pixel's value depends only on its own
// row's spans (every span starts from the primitive's plane at that row, never from the row
// above), so the picture is the same byte for byte whatever the number of bands or threads.
class BandPool {
public:
    ~BandPool() { Resize(1); }

    // Any thread; waits for a draw in progress on the pool.
    void Resize(int threads)
    {
        threads = std::clamp(threads, 1, kMaxThreads);
        std::lock_guard<std::mutex> use(m_Use);
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Stop.store(true);
        }
        m_Wake.notify_all();
        for (std::thread& t : m_Workers)
            t.join();
        m_Workers.clear();
        m_Stop.store(false);
        for (int i = 1; i < threads; ++i)
            m_Workers.emplace_back([this] { Work(); });
        m_Threads.store(threads, std::memory_order_relaxed);
    }

    int Threads() const { return m_Threads.load(std::memory_order_relaxed); }

    // Runs job(band) for every band in [0, bands) on the workers and the calling thread, and
    // returns when every band is done; a worker that wakes too late to take a band is not waited
    // for. false (nothing run) while another thread uses the pool.
    bool Run(int bands, void (*job)(void*, int), void* context)
    {
        std::unique_lock<std::mutex> use(m_Use, std::try_to_lock);
        if (!use.owns_lock() || m_Workers.empty() || bands <= 0 || bands > kMaxBands)
            return false;
        m_Job.store(job, std::memory_order_relaxed);
        m_Context.store(context, std::memory_order_relaxed);
        m_Remaining.store(bands, std::memory_order_relaxed);
        const std::uint64_t generation = (m_Ticket.load(std::memory_order_relaxed) >> 32) + 1;
        // Publishes the job: a worker that reads this ticket reads the job above.
        m_Ticket.store(generation << 32 | static_cast<std::uint64_t>(bands) << 16);
        if (m_Sleepers.load() > 0) {
            // Taking the lock orders this wake after a sleeper's last look at the ticket.
            { std::lock_guard<std::mutex> lock(m_Mutex); }
            m_Wake.notify_all();
        }
        while (TakeAndRun(generation)) {
        }
        for (int spin = 0; m_Remaining.load(std::memory_order_acquire) != 0; ++spin)
            Pause(spin);
        return true;
    }

    static constexpr int kMaxThreads = 64;
    static constexpr int kMaxBands = 0xFFFF;

private:
    // Rounds of waiting before a thread gives its core away: a frame's draws follow each other
    // within microseconds, and a sleeping worker costs a system call to wake.
    static constexpr int kSpinRounds = 4000;

    static void CpuRelax()
    {
#if defined(__SSE2__)
        _mm_pause();
#endif
    }

    static void Pause(int spin)
    {
        if (spin < kSpinRounds)
            CpuRelax();
        else
            std::this_thread::yield();
    }

    // Takes the next band of the job of this generation and runs it; false when the job has no
    // band left or a newer job replaced it.
    bool TakeAndRun(std::uint64_t generation)
    {
        std::uint64_t ticket = m_Ticket.load(std::memory_order_acquire);
        for (;;) {
            if (ticket >> 32 != generation)
                return false;
            const std::uint64_t next = ticket & 0xFFFF, bands = ticket >> 16 & 0xFFFF;
            if (next >= bands)
                return false;
            // The job is read before the claim: a claim that succeeds proves the job read was this
            // generation's, since a new job is only written once every band of the old one is done.
            void (*job)(void*, int) = m_Job.load(std::memory_order_relaxed);
            void* context = m_Context.load(std::memory_order_relaxed);
            if (m_Ticket.compare_exchange_weak(ticket, ticket + 1, std::memory_order_acquire)) {
                job(context, static_cast<int>(next));
                m_Remaining.fetch_sub(1, std::memory_order_acq_rel);
                return true;
            }
        }
    }

    void Work()
    {
        std::uint64_t seen = m_Ticket.load() >> 32;
        for (;;) {
            std::uint64_t generation = m_Ticket.load(std::memory_order_acquire) >> 32;
            for (int spin = 0; generation == seen && spin < kSpinRounds && !m_Stop.load(std::memory_order_relaxed);
                 ++spin) {
                CpuRelax();
                generation = m_Ticket.load(std::memory_order_acquire) >> 32;
            }
            if (generation == seen) {
                std::unique_lock<std::mutex> lock(m_Mutex);
                m_Sleepers.fetch_add(1);
                m_Wake.wait(lock, [&] { return m_Stop.load() || m_Ticket.load() >> 32 != seen; });
                m_Sleepers.fetch_sub(1);
                generation = m_Ticket.load(std::memory_order_acquire) >> 32;
            }
            if (m_Stop.load())
                return;
            seen = generation;
            while (TakeAndRun(generation)) {
            }
        }
    }

    // m_Use: held by the one thread that runs a job or resizes the pool.
    std::mutex m_Use;
    // m_Mutex: the sleeping workers wait under it; the stop flag is raised under it.
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    // Atomic: raised by Resize to end the workers.
    std::atomic<bool> m_Stop{false};
    // Atomic: the workers asleep on m_Wake.
    std::atomic<int> m_Sleepers{0};
    // Atomic: generation (high 32 bits), band count (bits 16-31) and next band to take (low 16
    // bits) of the current job; a band is taken by advancing it.
    std::atomic<std::uint64_t> m_Ticket{0};
    // Atomic: the current job, written by the running thread before it publishes the ticket.
    std::atomic<void (*)(void*, int)> m_Job{nullptr};
    std::atomic<void*> m_Context{nullptr};
    // Atomic: bands of the current job not yet finished.
    std::atomic<int> m_Remaining{0};
    // Atomic: read by any drawing thread.
    std::atomic<int> m_Threads{1};
    // Only under m_Use.
    std::vector<std::thread> m_Workers;
};

BandPool& Bands()
{
    static BandPool pool;
    return pool;
}

// Draws whose clipped bounds cover fewer pixels than this are drawn whole on the calling thread:
// waking the workers would cost more than the draw.
constexpr std::int64_t kBandMinPixels = 12 * 1024;
// Pixels of one band at least: every band sets up each primitive of the draw again.
constexpr std::int64_t kBandPixels = 4 * 1024;
// Rows of one band at least, so that a band's set-up stays small beside its pixels.
constexpr int kBandMinRows = 16;

struct SpanStart {
    double depthUnits;
    double depthStep;
    std::int64_t u, v, uStep, vStep; // texel units, 16 fractional bits
    std::int32_t c[4];               // a, r, g, b with 16 fractional bits
    std::int32_t cStep[4];
    bool gouraud;
};

inline int WrapCoord(std::int64_t t, int size, bool pow2)
{
    if (pow2)
        return static_cast<int>(t & (size - 1));
    std::int64_t m = t % size;
    if (m < 0)
        m += size;
    return static_cast<int>(m);
}

inline std::uint32_t RawAt(const DrawSetup& s, std::size_t index)
{
    return s.tex32 ? reinterpret_cast<const std::uint32_t*>(s.texRaw)[index]
                   : reinterpret_cast<const std::uint16_t*>(s.texRaw)[index];
}
inline std::uint32_t ExpandRaw(const DrawSetup& s, std::uint32_t raw) { return s.tex32 ? raw : s.expand[raw]; }
inline std::size_t TexIndex(const DrawSetup& s, int tx, int ty)
{
    return static_cast<std::size_t>(ty) * s.texStride + static_cast<std::size_t>(tx);
}

[[maybe_unused]] inline std::uint32_t Lerp8(std::uint32_t a, std::uint32_t b, std::uint32_t f) // f 0..256
{
    return (a * (256 - f) + b * f) >> 8;
}

// The bilinear mix of four texels (top left, top right, bottom left, bottom right) by 8-bit weights.
inline std::uint32_t BlendTexels(const DrawSetup& s, const std::size_t (&at)[4], std::uint32_t fx, std::uint32_t fy)
{
    std::uint32_t t[4];
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t raw = RawAt(s, at[i]);
        // keyed texels count as transparent black in the filter
        t[i] = s.keyed && raw == s.key ? 0u : ExpandRaw(s, raw);
    }
#if defined(__SSE2__)
    // The same products in 16-bit lanes: the left texels of both rows beside the right ones.
    const __m128i zero = _mm_setzero_si128();
    const __m128i left = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, static_cast<int>(t[2]), static_cast<int>(t[0])), zero);
    const __m128i right = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, static_cast<int>(t[3]), static_cast<int>(t[1])), zero);
    const __m128i rows = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(left, _mm_set1_epi16(static_cast<short>(256 - fx))),
                                                      _mm_mullo_epi16(right, _mm_set1_epi16(static_cast<short>(fx)))),
                                       8);
    const __m128i bottom = _mm_srli_si128(rows, 8);
    const __m128i mixed = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(rows, _mm_set1_epi16(static_cast<short>(256 - fy))),
                                                       _mm_mullo_epi16(bottom, _mm_set1_epi16(static_cast<short>(fy)))),
                                         8);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(mixed, zero)));
#else
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t top = Lerp8(Chan(t[0], shift), Chan(t[1], shift), fx);
        const std::uint32_t bottom = Lerp8(Chan(t[2], shift), Chan(t[3], shift), fx);
        out |= Lerp8(top, bottom, fy) << shift;
    }
    return out;
#endif
}

std::uint32_t SampleLinear(const DrawSetup& s, std::int64_t u, std::int64_t v)
{
    u -= 1 << 15;
    v -= 1 << 15;
    const int x0 = WrapCoord(u >> 16, s.texW, s.texPow2), x1 = WrapCoord((u >> 16) + 1, s.texW, s.texPow2);
    const int y0 = WrapCoord(v >> 16, s.texH, s.texPow2), y1 = WrapCoord((v >> 16) + 1, s.texH, s.texPow2);
    const std::uint32_t fx = static_cast<std::uint32_t>((u >> 8) & 0xFF), fy = static_cast<std::uint32_t>((v >> 8) & 0xFF);
    const std::size_t at[4] = {TexIndex(s, x0, y0), TexIndex(s, x1, y0), TexIndex(s, x0, y1), TexIndex(s, x1, y1)};
    return BlendTexels(s, at, fx, fy);
}

inline std::uint32_t DiffuseOf(const std::int32_t* c)
{
    std::uint32_t out = 0;
    for (int i = 0; i < 4; ++i)
        out = out << 8 | static_cast<std::uint32_t>(std::clamp(c[i] >> 16, 0, 255));
    return out;
}

// The general pixel: every state honoured. Returns false when the pixel is discarded before depth.
// Three colour channels of a stage operation known when compiling (0: any, looked up per pixel).
template <int kOp>
inline std::uint32_t ColorOp3(TextureOp op, std::uint32_t c1, std::uint32_t c2)
{
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const std::uint32_t a = Chan(c1, shift), b = Chan(c2, shift);
        std::uint32_t r;
        if constexpr (kOp == static_cast<int>(TextureOp::Modulate))
            r = Mul8(a, b);
        else if constexpr (kOp == static_cast<int>(TextureOp::SelectArg1))
            r = a;
        else if constexpr (kOp == static_cast<int>(TextureOp::SelectArg2))
            r = b;
        else if constexpr (kOp == static_cast<int>(TextureOp::AddSmooth))
            r = std::min<std::uint32_t>(255, a + b - Mul8(a, b));
        else
            r = ApplyOp(op, a, b);
        out |= r << shift;
    }
    return out;
}

template <bool kTexture, bool kPow2, int kOp>
inline void ShadeSpan(const DrawSetup& s, int y, int x0, int x1, SpanStart a)
{
    std::uint16_t* crow = s.color->Row16(y);
    std::uint16_t* zrow = s.depth ? s.depth->Row16(y) : nullptr;
    const RasterState& st = *s.state;
    const std::uint32_t tf = st.textureFactor;
    // Upright sprites and quads with z per row have one depth along the row.
    const bool flatZ = a.depthStep == 0.0;
    std::uint32_t zFlat = DepthFromUnits(a.depthUnits);
    zFlat = zFlat > s.zBias ? zFlat - s.zBias : 0;
    for (int x = x0; x <= x1; ++x) {
        std::uint32_t texel = 0xFFFFFFFFu;
        if constexpr (kTexture) {
            const int tx = WrapCoord(a.u >> 16, s.texW, kPow2);
            const int ty = WrapCoord(a.v >> 16, s.texH, kPow2);
            const std::uint32_t raw = RawAt(s, TexIndex(s, tx, ty));
            texel = ExpandRaw(s, raw);
            bool skip = s.keyed && raw == s.key;
            if (!skip && s.linear)
                texel = SampleLinear(s, a.u, a.v);
            a.u += a.uStep;
            a.v += a.vStep;
            if (skip) {
                a.depthUnits += a.depthStep;
                if (a.gouraud)
                    for (int i = 0; i < 4; ++i)
                        a.c[i] += a.cStep[i];
                continue;
            }
        }
        const std::uint32_t diffuse = s.texelOnly ? 0xFFFFFFFFu : DiffuseOf(a.c);
        const double units = a.depthUnits;
        a.depthUnits += a.depthStep;
        if (a.gouraud)
            for (int i = 0; i < 4; ++i)
                a.c[i] += a.cStep[i];

        std::uint32_t src;
        if (s.texelOnly) {
            src = texel;
        } else {
            const std::uint32_t args[3] = {texel, diffuse, tf};
            const std::uint32_t c1 = args[s.argIndex[0]], c2 = args[s.argIndex[1]];
            const std::uint32_t a1 = args[s.argIndex[2]], a2 = args[s.argIndex[3]];
            src = ApplyOp(st.alphaOp, a1 >> 24, a2 >> 24) << 24 | ColorOp3<kOp>(st.colorOp, c1, c2);
        }
        if (s.alphaTest && !Passes(s.alphaMask, src >> 24, s.alphaRef))
            continue;
        std::uint32_t z = 0;
        if (zrow) {
            if (flatZ) {
                z = zFlat;
            } else {
                z = DepthFromUnits(units);
                z = z > s.zBias ? z - s.zBias : 0;
            }
            if (s.zTest && !Passes(s.zMask, z, zrow[x]))
                continue;
        }
        if (s.blend) {
            const std::uint32_t dst = ExpandTarget(crow[x], s.is565);
            const std::uint32_t sf = FactorWord(st.srcBlend, src, dst), df = FactorWord(st.destBlend, src, dst);
            std::uint32_t rgb[3];
            for (int i = 0; i < 3; ++i) {
                const int shift = 16 - 8 * i;
                const std::uint32_t sum = Chan(src, shift) * Chan(sf, shift) + Chan(dst, shift) * Chan(df, shift);
                rgb[i] = std::min<std::uint32_t>(255, sum / 255);
            }
            crow[x] = PackTarget(rgb[0], rgb[1], rgb[2], s.is565);
        } else {
            crow[x] = PackTarget(Chan(src, 16), Chan(src, 8), Chan(src, 0), s.is565);
        }
        if (zrow && s.zWrite)
            zrow[x] = static_cast<std::uint16_t>(z);
    }
}

#if defined(__SSE2__)
// The depth test of eight stored depths against one depth z, for the compare mask's less, equal
// and greater bits: all ones in the lanes that pass.
struct DepthTest8 {
    __m128i bias, z, zs, wantLess, wantEqual, wantGreater;
    DepthTest8(std::uint32_t depth, std::uint32_t zMask)
        : bias(_mm_set1_epi16(static_cast<short>(0x8000)))
        , z(_mm_set1_epi16(static_cast<short>(depth)))
        , zs(_mm_xor_si128(z, bias))
        , wantLess(_mm_set1_epi16((zMask & 1) ? -1 : 0))
        , wantEqual(_mm_set1_epi16((zMask & 2) ? -1 : 0))
        , wantGreater(_mm_set1_epi16((zMask & 4) ? -1 : 0))
    {
    }
    __m128i Pass(__m128i old) const
    {
        const __m128i olds = _mm_xor_si128(old, bias);
        const __m128i less = _mm_cmpgt_epi16(olds, zs), greater = _mm_cmpgt_epi16(zs, olds);
        const __m128i equal = _mm_cmpeq_epi16(z, old);
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(less, wantLess), _mm_and_si128(equal, wantEqual)),
                            _mm_and_si128(greater, wantGreater));
    }
};

#endif

#if defined(__SSE2__)
// Eight pixels at a time of the direct sprite path: colours already in the target's format, the
// raw 16-bit pixels for the key, one depth for the whole run. Returns the first pixel left for the
// scalar loop.
// All pointers are at the run's first pixel.
inline int SpriteRun8(const std::uint16_t* src, const std::uint16_t* rawSrc, std::uint16_t* crow, std::uint16_t* zrow,
                      int count, std::uint32_t z, std::uint32_t zMask, bool keyed, std::uint32_t key, bool zWrite)
{
    const DepthTest8 test(z, zMask);
    const __m128i zv = test.z;
    const __m128i keyOn = _mm_set1_epi16(keyed ? -1 : 0);
    const __m128i keyv = _mm_set1_epi16(static_cast<short>(key));
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m128i color = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
        const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rawSrc + x));
        const __m128i keyedLanes = _mm_and_si128(_mm_cmpeq_epi16(raw, keyv), keyOn);
        __m128i* zp = reinterpret_cast<__m128i*>(zrow + x);
        __m128i* cp = reinterpret_cast<__m128i*>(crow + x);
        const __m128i old = _mm_loadu_si128(zp);
        const __m128i pass = test.Pass(old);
        const __m128i write = _mm_andnot_si128(keyedLanes, pass);
        const __m128i oldColor = _mm_loadu_si128(cp);
        _mm_storeu_si128(cp, _mm_or_si128(_mm_and_si128(write, color), _mm_andnot_si128(write, oldColor)));
        if (zWrite)
            _mm_storeu_si128(zp, _mm_or_si128(_mm_and_si128(write, zv), _mm_andnot_si128(write, old)));
    }
    return x;
}
#endif

// The common map case: a point-sampled, power-of-two texture whose texel is the colour, depth
// tested, no alpha test and no blending. Upright sprites and quads with z per row have one depth
// along a row (kFlatZ); axis-aligned ones read one texture row (kOneRow).
template <bool k565, bool kZWrite, bool kFlatZ, bool kOneRow, bool kLessEqual>
void FastSpan(const DrawSetup& s, int y, int x0, int x1, SpanStart a)
{
    std::uint16_t* crow = s.color->Row16(y);
    std::uint16_t* zrow = s.depth->Row16(y);
    const std::uint32_t wMask = static_cast<std::uint32_t>(s.texW - 1), hMask = static_cast<std::uint32_t>(s.texH - 1);
    const std::uint32_t zMask = s.zMask, bias = s.zBias;
    const bool keyed = s.keyed;
    const std::uint32_t key = s.key;
    const std::uint16_t* display = s.display;
    const int texW = s.texW;
    const std::uint32_t row0 = static_cast<std::uint32_t>(a.v >> 16) & hMask;
    const std::uint16_t* texRow = display + static_cast<std::size_t>(row0) * texW;
    const std::size_t rawRow = static_cast<std::size_t>(row0) * s.texStride;
    double units = a.depthUnits;
    std::uint32_t z = 0;
    if constexpr (kFlatZ) {
        z = DepthFromUnits(units);
        z = z > bias ? z - bias : 0;
    }
    std::int64_t u = a.u;
    std::int64_t v = a.v;
    if constexpr (kOneRow && kFlatZ) {
        // One texel per pixel without wrapping inside the span: walk the texture row directly.
        // With a step between 0 and 2 texels, the texel index rises by exactly one per pixel when
        // it rises by the pixel count over the whole span (the game's 0.99999 edges give steps just
        // below one texel).
        const std::uint32_t tx0 = static_cast<std::uint32_t>(u >> 16) & wMask;
        const std::int64_t n = x1 - x0;
        if (a.uStep > 0 && a.uStep < 2 * 65536 && ((u + n * a.uStep) >> 16) - (u >> 16) == n &&
            tx0 + static_cast<std::uint32_t>(n) <= wMask) {
            const std::uint16_t* src = texRow + tx0;
            const std::size_t rawBase = rawRow + tx0;
            std::uint16_t* c = crow + x0;
            std::uint16_t* zp = zrow + x0;
            const int count = x1 - x0 + 1;
            int i = 0;
#if defined(__SSE2__)
            if (!s.tex32)
                i = SpriteRun8(src, reinterpret_cast<const std::uint16_t*>(s.texRaw) + rawBase, c, zp, count, z, zMask,
                               keyed, key, kZWrite);
#endif
            for (; i < count; ++i) {
                const std::uint32_t old = zp[i];
                const bool pass = kLessEqual ? z <= old : Passes(zMask, z, old);
                if (!pass || (keyed && RawAt(s, rawBase + static_cast<std::size_t>(i)) == key))
                    continue;
                c[i] = src[i];
                if constexpr (kZWrite)
                    zp[i] = static_cast<std::uint16_t>(z);
            }
            return;
        }
    }
    for (int x = x0; x <= x1; ++x) {
        const std::uint32_t tx = static_cast<std::uint32_t>(u >> 16) & wMask;
        u += a.uStep;
        std::uint16_t texel;
        std::size_t rawIndex;
        if constexpr (kOneRow) {
            texel = texRow[tx];
            rawIndex = rawRow + tx;
        } else {
            const std::uint32_t ty = static_cast<std::uint32_t>(v >> 16) & hMask;
            v += a.vStep;
            texel = display[static_cast<std::size_t>(ty) * texW + tx];
            rawIndex = static_cast<std::size_t>(ty) * s.texStride + tx;
        }
        if constexpr (!kFlatZ) {
            z = DepthFromUnits(units);
            units += a.depthStep;
            z = z > bias ? z - bias : 0;
        }
        if (keyed && RawAt(s, rawIndex) == key)
            continue;
        const std::uint32_t old = zrow[x];
        if constexpr (kLessEqual) {
            if (z > old)
                continue;
        } else if (!Passes(zMask, z, old)) {
            continue;
        }
        crow[x] = texel;
        if constexpr (kZWrite)
            zrow[x] = static_cast<std::uint16_t>(z);
    }
}

// A point-sampled, power-of-two texture whose texel is the colour, without depth, alpha test or
// blending (the fog's body): the picture in the target's format is copied, a run of one texel per
// pixel at a time.
template <bool kOneRow>
void CopySpan(const DrawSetup& s, int y, int x0, int x1, SpanStart a)
{
    std::uint16_t* crow = s.color->Row16(y);
    const std::uint32_t wMask = static_cast<std::uint32_t>(s.texW - 1), hMask = static_cast<std::uint32_t>(s.texH - 1);
    const bool keyed = s.keyed;
    const std::uint32_t key = s.key;
    const std::uint16_t* display = s.display;
    const int texW = s.texW;
    std::int64_t u = a.u, v = a.v;
    if constexpr (kOneRow) {
        const std::uint32_t row0 = static_cast<std::uint32_t>(v >> 16) & hMask;
        const std::uint16_t* texRow = display + static_cast<std::size_t>(row0) * texW;
        const std::size_t rawRow = static_cast<std::size_t>(row0) * s.texStride;
        // Runs of one texel per pixel up to the texture's right edge, then on from its left.
        int x = x0;
        while (x <= x1) {
            const std::uint32_t tx0 = static_cast<std::uint32_t>(u >> 16) & wMask;
            const std::int64_t left = x1 - x;
            const std::int64_t n = std::min<std::int64_t>(left, wMask - tx0);
            if (!(a.uStep > 0 && a.uStep < 2 * 65536 && ((u + n * a.uStep) >> 16) - (u >> 16) == n))
                break;
            const int count = static_cast<int>(n) + 1;
            if (!keyed) {
                std::memcpy(crow + x, texRow + tx0, static_cast<std::size_t>(count) * 2);
            } else {
                for (int i = 0; i < count; ++i)
                    if (RawAt(s, rawRow + tx0 + static_cast<std::size_t>(i)) != key)
                        crow[x + i] = texRow[tx0 + static_cast<std::uint32_t>(i)];
            }
            x += count;
            u += static_cast<std::int64_t>(count) * a.uStep;
        }
        for (; x <= x1; ++x) {
            const std::uint32_t tx = static_cast<std::uint32_t>(u >> 16) & wMask;
            u += a.uStep;
            if (!keyed || RawAt(s, rawRow + tx) != key)
                crow[x] = texRow[tx];
        }
        return;
    }
    for (int x = x0; x <= x1; ++x) {
        const std::uint32_t tx = static_cast<std::uint32_t>(u >> 16) & wMask;
        const std::uint32_t ty = static_cast<std::uint32_t>(v >> 16) & hMask;
        u += a.uStep;
        v += a.vStep;
        if (!keyed || RawAt(s, static_cast<std::size_t>(ty) * s.texStride + tx) != key)
            crow[x] = display[static_cast<std::size_t>(ty) * texW + tx];
    }
}

template <bool k565, bool kZWrite, bool kFlatZ, bool kOneRow>
void FastSpanFor(const DrawSetup& s, int y, int x0, int x1, SpanStart a)
{
    if (s.zFuncLessEqual)
        FastSpan<k565, kZWrite, kFlatZ, kOneRow, true>(s, y, x0, x1, a);
    else
        FastSpan<k565, kZWrite, kFlatZ, kOneRow, false>(s, y, x0, x1, a);
}

// Translucent sprites: a point-sampled, power-of-two texture whose texel is the colour, blended
// by its own alpha over the target (SRCALPHA, INVSRCALPHA), with any alpha and depth test.
template <bool k565>
void BlendSpan(const DrawSetup& s, int y, int x0, int x1, SpanStart a)
{
    std::uint16_t* crow = s.color->Row16(y);
    std::uint16_t* zrow = s.depth ? s.depth->Row16(y) : nullptr;
    const std::uint32_t wMask = static_cast<std::uint32_t>(s.texW - 1), hMask = static_cast<std::uint32_t>(s.texH - 1);
    const int texW = s.texW;
    (void)texW;
    const bool alphaTest = s.alphaTest, zTest = s.zTest, zWrite = s.zWrite;
    double units = a.depthUnits;
    for (int x = x0; x <= x1; ++x) {
        const std::uint32_t tx = static_cast<std::uint32_t>(a.u >> 16) & wMask;
        const std::uint32_t ty = static_cast<std::uint32_t>(a.v >> 16) & hMask;
        a.u += a.uStep;
        a.v += a.vStep;
        const double here = units;
        units += a.depthStep;
        const std::uint32_t raw = RawAt(s, TexIndex(s, static_cast<int>(tx), static_cast<int>(ty)));
        if (s.keyed && raw == s.key)
            continue;
        const std::uint32_t texel = ExpandRaw(s, raw);
        const std::uint32_t alpha = texel >> 24;
        if (alphaTest && !Passes(s.alphaMask, alpha, s.alphaRef))
            continue;
        std::uint32_t z = 0;
        if (zrow) {
            z = DepthFromUnits(here);
            z = z > s.zBias ? z - s.zBias : 0;
            if (zTest && !Passes(s.zMask, z, zrow[x]))
                continue;
        }
        if (alpha == 255) {
            crow[x] = PackTarget(Chan(texel, 16), Chan(texel, 8), Chan(texel, 0), k565);
        } else if (alpha != 0) {
            const std::uint32_t dst = ExpandTarget(crow[x], k565);
            const std::uint32_t inv = 255 - alpha;
            const std::uint32_t r = (Chan(texel, 16) * alpha + Chan(dst, 16) * inv) / 255;
            const std::uint32_t g = (Chan(texel, 8) * alpha + Chan(dst, 8) * inv) / 255;
            const std::uint32_t b = (Chan(texel, 0) * alpha + Chan(dst, 0) * inv) / 255;
            crow[x] = PackTarget(r, g, b, k565);
        }
        if (zrow && zWrite)
            zrow[x] = static_cast<std::uint16_t>(z);
    }
}

using SpanFn = void (*)(const DrawSetup&, int, int, int, SpanStart);

// How a stage span combines its colour with the target.
enum class BlendKind { None, SrcAlpha, DestColor, Additive, Any };

// A power-of-two texture under one diffuse colour for the whole draw, whose colour
// is the texel's combined with a constant (MODULATE, ADDSMOOTH or the texel itself) and whose alpha
// is the texel's (or the texel's times the constant's): the operations and the blend are resolved
// when compiling, the per-pixel work is a texel lookup, the tests and the blend of three channels.
// Gives the general pipeline's pixels.
// SampleLinear for a power-of-two texture: the same four texels, weights and rounding.
inline std::uint32_t SampleLinearPow2(const DrawSetup& s, std::int64_t u, std::int64_t v, std::uint32_t wMask,
                                      std::uint32_t hMask)
{
    u -= 1 << 15;
    v -= 1 << 15;
    const std::uint32_t x0 = static_cast<std::uint32_t>(u >> 16) & wMask, x1 = (x0 + 1) & wMask;
    const std::uint32_t y0 = static_cast<std::uint32_t>(v >> 16) & hMask, y1 = (y0 + 1) & hMask;
    const std::uint32_t fx = static_cast<std::uint32_t>((u >> 8) & 0xFF), fy = static_cast<std::uint32_t>((v >> 8) & 0xFF);
    const std::size_t stride = static_cast<std::size_t>(s.texStride);
    const std::size_t at[4] = {y0 * stride + x0, y0 * stride + x1, y1 * stride + x0, y1 * stride + x1};
    return BlendTexels(s, at, fx, fy);
}

// The stage result of one texel under a constant, as StageSpan computes it: r, g, b and alpha.
template <int kOp, bool kAlphaModulate>
inline void StageTexel(std::uint32_t texel, std::uint32_t kr, std::uint32_t kg, std::uint32_t kb,
                       std::uint32_t alphaConstant, std::uint32_t (&out)[4])
{
    std::uint32_t sr = Chan(texel, 16), sg = Chan(texel, 8), sb = Chan(texel, 0);
    if constexpr (kOp == static_cast<int>(TextureOp::Modulate)) {
        sr = Mul8(sr, kr), sg = Mul8(sg, kg), sb = Mul8(sb, kb);
    } else if constexpr (kOp == static_cast<int>(TextureOp::AddSmooth)) {
        sr = std::min<std::uint32_t>(255, sr + kr - Mul8(sr, kr));
        sg = std::min<std::uint32_t>(255, sg + kg - Mul8(sg, kg));
        sb = std::min<std::uint32_t>(255, sb + kb - Mul8(sb, kb));
    }
    std::uint32_t alpha = texel >> 24;
    if constexpr (kAlphaModulate)
        alpha = Mul8(alpha, alphaConstant);
    out[0] = sr, out[1] = sg, out[2] = sb, out[3] = alpha;
}

template <bool k565, int kOp, bool kAlphaModulate, BlendKind kBlend>
void StageSpan(const DrawSetup& s, int y, int x0, int x1, SpanStart a)
{
    std::uint16_t* crow = s.color->Row16(y);
    std::uint16_t* zrow = s.depth ? s.depth->Row16(y) : nullptr;
    const RasterState& st = *s.state;
    const std::uint32_t wMask = static_cast<std::uint32_t>(s.texW - 1), hMask = static_cast<std::uint32_t>(s.texH - 1);
    const std::uint32_t constant = s.argIndex[1] == 2 ? st.textureFactor : s.diffuse;
    const std::uint32_t alphaConstant = (s.argIndex[3] == 2 ? st.textureFactor : s.diffuse) >> 24;
    const std::uint32_t kr = Chan(constant, 16), kg = Chan(constant, 8), kb = Chan(constant, 0);
    const bool keyed = s.keyed, alphaTest = s.alphaTest, zTest = s.zTest, zWrite = s.zWrite && zrow;
    const bool tex32 = s.tex32, linear = s.linear;
    const std::uint32_t key = s.key, zMask = s.zMask, bias = s.zBias;
    const std::uint32_t* expand = s.expand;
    const std::uint8_t* texRaw = s.texRaw;
    const std::size_t stride = static_cast<std::size_t>(s.texStride);
    const bool flatZ = a.depthStep == 0.0;
    std::uint32_t zFlat = DepthFromUnits(a.depthUnits);
    zFlat = zFlat > bias ? zFlat - bias : 0;
    double units = a.depthUnits;
    std::int64_t u = a.u, v = a.v;
    for (int x = x0; x <= x1; ++x) {
        const std::size_t index = static_cast<std::size_t>(static_cast<std::uint32_t>(v >> 16) & hMask) * stride +
                                  (static_cast<std::uint32_t>(u >> 16) & wMask);
        const std::int64_t pu = u, pv = v;
        u += a.uStep;
        v += a.vStep;
        const double here = units;
        units += a.depthStep;
        const std::uint32_t raw = tex32 ? reinterpret_cast<const std::uint32_t*>(texRaw)[index]
                                        : reinterpret_cast<const std::uint16_t*>(texRaw)[index];
        if (keyed && raw == key)
            continue;
        const std::uint32_t texel = linear ? SampleLinearPow2(s, pu, pv, wMask, hMask) : tex32 ? raw : expand[raw];
        std::uint32_t c[4];
        StageTexel<kOp, kAlphaModulate>(texel, kr, kg, kb, alphaConstant, c);
        const std::uint32_t sr = c[0], sg = c[1], sb = c[2], alpha = c[3];
        if (alphaTest && !Passes(s.alphaMask, alpha, s.alphaRef))
            continue;
        std::uint32_t z = 0;
        if (zrow) {
            if (flatZ) {
                z = zFlat;
            } else {
                z = DepthFromUnits(here);
                z = z > bias ? z - bias : 0;
            }
            if (zTest && !Passes(zMask, z, zrow[x]))
                continue;
        }
        if constexpr (kBlend == BlendKind::None) {
            crow[x] = PackTarget(sr, sg, sb, k565);
        } else if constexpr (kBlend == BlendKind::SrcAlpha) {
            if (alpha == 255) {
                crow[x] = PackTarget(sr, sg, sb, k565);
            } else if (alpha != 0) {
                const std::uint32_t dst = ExpandTarget(crow[x], k565), inv = 255 - alpha;
                crow[x] = PackTarget((sr * alpha + Chan(dst, 16) * inv) / 255, (sg * alpha + Chan(dst, 8) * inv) / 255,
                                     (sb * alpha + Chan(dst, 0) * inv) / 255, k565);
            }
        } else if constexpr (kBlend == BlendKind::DestColor) {
            const std::uint32_t dst = ExpandTarget(crow[x], k565), inv = 255 - alpha;
            const std::uint32_t dr = Chan(dst, 16), dg = Chan(dst, 8), db = Chan(dst, 0);
            crow[x] = PackTarget(std::min<std::uint32_t>(255, (sr * dr + dr * inv) / 255),
                                 std::min<std::uint32_t>(255, (sg * dg + dg * inv) / 255),
                                 std::min<std::uint32_t>(255, (sb * db + db * inv) / 255), k565);
        } else if constexpr (kBlend == BlendKind::Additive) {
            const std::uint32_t dst = ExpandTarget(crow[x], k565);
            crow[x] = PackTarget(std::min<std::uint32_t>(255, (sr * alpha + Chan(dst, 16) * 255) / 255),
                                 std::min<std::uint32_t>(255, (sg * alpha + Chan(dst, 8) * 255) / 255),
                                 std::min<std::uint32_t>(255, (sb * alpha + Chan(dst, 0) * 255) / 255), k565);
        } else {
            const std::uint32_t src = alpha << 24 | sr << 16 | sg << 8 | sb;
            const std::uint32_t dst = ExpandTarget(crow[x], k565);
            const std::uint32_t sf = FactorWord(st.srcBlend, src, dst), df = FactorWord(st.destBlend, src, dst);
            std::uint32_t rgb[3];
            for (int i = 0; i < 3; ++i) {
                const int shift = 16 - 8 * i;
                rgb[i] = std::min<std::uint32_t>(255, (Chan(src, shift) * Chan(sf, shift) + Chan(dst, shift) * Chan(df, shift)) / 255);
            }
            crow[x] = PackTarget(rgb[0], rgb[1], rgb[2], k565);
        }
        if (zWrite)
            zrow[x] = static_cast<std::uint16_t>(z);
    }
}

// One channel of the DESTCOLOR blend: min(255, trunc(d x f / 255)) for f in 0..510.
inline std::uint32_t DestColorChannel(std::uint32_t d, std::uint32_t f)
{
    return std::min<std::uint32_t>(255, d * f / 255);
}

#if defined(__SSE2__)
// trunc(t / 255) for every 16-bit lane t up to 65025.
inline __m128i Div255(__m128i t)
{
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), _mm_set1_epi16(1)), 8);
}

// min(255, trunc(d x f / 255)) per lane, d 0..255, f 0..510: above 255 the factor is 255 + g,
// and d x (255 + g) / 255 = d + d x g / 255, so no product leaves 16 bits.
inline __m128i DestColor8(__m128i d, __m128i f)
{
    const __m128i k255 = _mm_set1_epi16(255);
    const __m128i high = _mm_cmpgt_epi16(f, k255);
    const __m128i g = _mm_sub_epi16(f, _mm_and_si128(high, k255));
    const __m128i q = Div255(_mm_mullo_epi16(d, g));
    const __m128i sum = _mm_add_epi16(d, q);
    const __m128i over = _mm_cmpgt_epi16(sum, k255);
    const __m128i clamped = _mm_or_si128(_mm_and_si128(over, k255), _mm_andnot_si128(over, sum));
    return _mm_or_si128(_mm_and_si128(high, clamped), _mm_andnot_si128(high, q));
}
#endif

// The DESTCOLOR/INVSRCALPHA span over the factor planes, for rows that read one texel per pixel
// along one texture row with one depth; other rows go to the stage span.
template <bool k565>
void DestColorSpan(const DrawSetup& s, int y, int x0, int x1, SpanStart a)
{
    const std::uint32_t wMask = static_cast<std::uint32_t>(s.texW - 1), hMask = static_cast<std::uint32_t>(s.texH - 1);
    const std::uint32_t tx0 = static_cast<std::uint32_t>(a.u >> 16) & wMask;
    const std::int64_t n = x1 - x0;
    if (a.depthStep != 0.0 || a.vStep != 0 || !(a.uStep > 0 && a.uStep < 2 * 65536) ||
        ((a.u + n * a.uStep) >> 16) - (a.u >> 16) != n || tx0 + static_cast<std::uint32_t>(n) > wMask) {
        s.planeFallback(s, y, x0, x1, a);
        return;
    }
    std::uint16_t* crow = s.color->Row16(y) + x0;
    std::uint16_t* zrow = s.depth ? s.depth->Row16(y) + x0 : nullptr;
    const std::size_t w = static_cast<std::size_t>(s.texW);
    const std::uint16_t* row = s.factorPlanes + static_cast<std::size_t>(static_cast<std::uint32_t>(a.v >> 16) & hMask) * w * 4;
    const std::uint16_t* fr = row + tx0;
    const std::uint16_t* fg = fr + w;
    const std::uint16_t* fb = fg + w;
    const std::uint16_t* drawn = fb + w;
    std::uint32_t z = DepthFromUnits(a.depthUnits);
    z = z > s.zBias ? z - s.zBias : 0;
    const std::uint32_t zMask = s.zMask;
    const bool zTest = s.zTest && zrow, zWrite = s.zWrite && zrow;
    const int count = static_cast<int>(n) + 1;
    int i = 0;
#if defined(__SSE2__)
    const DepthTest8 test(z, zMask);
    const __m128i zv = test.z;
    const __m128i all = _mm_set1_epi16(-1);
    const __m128i m5 = _mm_set1_epi16(0x1F);
    const __m128i m6 = _mm_set1_epi16(0x3F);
    for (; i + 8 <= count; i += 8) {
        __m128i write = _mm_loadu_si128(reinterpret_cast<const __m128i*>(drawn + i));
        __m128i oldZ = all;
        if (zTest) {
            oldZ = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zrow + i));
            write = _mm_and_si128(write, test.Pass(oldZ));
        }
        if (_mm_movemask_epi8(write) == 0)
            continue;
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(crow + i));
        __m128i r5, g8, b5;
        if constexpr (k565) {
            r5 = _mm_and_si128(_mm_srli_epi16(p, 11), m5);
            const __m128i g6 = _mm_and_si128(_mm_srli_epi16(p, 5), m6);
            g8 = _mm_or_si128(_mm_slli_epi16(g6, 2), _mm_srli_epi16(g6, 4));
        } else {
            r5 = _mm_and_si128(_mm_srli_epi16(p, 10), m5);
            const __m128i g5 = _mm_and_si128(_mm_srli_epi16(p, 5), m5);
            g8 = _mm_or_si128(_mm_slli_epi16(g5, 3), _mm_srli_epi16(g5, 2));
        }
        b5 = _mm_and_si128(p, m5);
        const __m128i r8 = _mm_or_si128(_mm_slli_epi16(r5, 3), _mm_srli_epi16(r5, 2));
        const __m128i b8 = _mm_or_si128(_mm_slli_epi16(b5, 3), _mm_srli_epi16(b5, 2));
        const __m128i r = DestColor8(r8, _mm_loadu_si128(reinterpret_cast<const __m128i*>(fr + i)));
        const __m128i g = DestColor8(g8, _mm_loadu_si128(reinterpret_cast<const __m128i*>(fg + i)));
        const __m128i b = DestColor8(b8, _mm_loadu_si128(reinterpret_cast<const __m128i*>(fb + i)));
        __m128i out;
        if constexpr (k565)
            out = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(r, 3), 11), _mm_slli_epi16(_mm_srli_epi16(g, 2), 5)),
                               _mm_srli_epi16(b, 3));
        else
            out = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(r, 3), 10), _mm_slli_epi16(_mm_srli_epi16(g, 3), 5)),
                               _mm_srli_epi16(b, 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(crow + i), _mm_or_si128(_mm_and_si128(write, out), _mm_andnot_si128(write, p)));
        if (zWrite)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(zrow + i), _mm_or_si128(_mm_and_si128(write, zv), _mm_andnot_si128(write, oldZ)));
    }
#endif
    for (; i < count; ++i) {
        if (!drawn[i])
            continue;
        if (zTest && !Passes(zMask, z, zrow[i]))
            continue;
        const std::uint32_t dst = ExpandTarget(crow[i], k565);
        crow[i] = PackTarget(DestColorChannel(Chan(dst, 16), fr[i]), DestColorChannel(Chan(dst, 8), fg[i]),
                             DestColorChannel(Chan(dst, 0), fb[i]), k565);
        if (zWrite)
            zrow[i] = static_cast<std::uint16_t>(z);
    }
}

// The alpha plane's mark of a keyed texel (no alpha reaches it).
constexpr std::uint16_t kKeyedTexel = 0x100;

// What a texture's planes hold per texel.
enum class PlaneKind {
    // DESTCOLOR/INVSRCALPHA: the blend min(255, (s x d + d x (255 - alpha)) / 255) is
    // d x (s + 255 - alpha) / 255, so each texel gives one factor per channel and the pixel's work
    // is three products. Rows of four planes: red, green, blue factors, and 0xFFFF (0 where keyed).
    Factors,
    // Opaque and SRCALPHA/INVSRCALPHA: rows of two planes, the stage colour in RGB565 (or RGB555)
    // and its alpha (kKeyedTexel where keyed).
    Colors565,
    Colors555,
};

template <int kOp, bool kAlphaModulate, PlaneKind kKind>
void MakePlanes(const DrawSetup& s, std::uint32_t constant, std::uint32_t alphaConstant, std::uint16_t* planes)
{
    const std::uint32_t kr = Chan(constant, 16), kg = Chan(constant, 8), kb = Chan(constant, 0);
    const std::size_t w = static_cast<std::size_t>(s.texW);
    const std::size_t count = kKind == PlaneKind::Factors ? 4 : 2;
    for (int ty = 0; ty < s.texH; ++ty) {
        std::uint16_t* row = planes + static_cast<std::size_t>(ty) * w * count;
        for (std::size_t tx = 0; tx < w; ++tx) {
            const std::uint32_t raw = RawAt(s, static_cast<std::size_t>(ty) * s.texStride + tx);
            const bool keyed = s.keyed && raw == s.key;
            std::uint32_t c[4];
            StageTexel<kOp, kAlphaModulate>(ExpandRaw(s, raw), kr, kg, kb, alphaConstant, c);
            if constexpr (kKind == PlaneKind::Factors) {
                for (std::size_t i = 0; i < 3; ++i)
                    row[i * w + tx] = static_cast<std::uint16_t>(c[i] + 255 - c[3]);
                row[3 * w + tx] = keyed ? 0 : 0xFFFF;
            } else {
                row[tx] = PackTarget(c[0], c[1], c[2], kKind == PlaneKind::Colors565);
                row[w + tx] = keyed ? kKeyedTexel : static_cast<std::uint16_t>(c[3]);
            }
        }
    }
}

// Opaque or SRCALPHA/INVSRCALPHA stage span over the colour planes, for rows that read one texel
// per pixel along one texture row with one depth: texels of alpha 255 (or any, unblended) are
// copied eight at a time; translucent ones are blended from the texel as the stage span does.
template <bool k565, int kOp, bool kAlphaModulate, bool kBlend>
void ColorPlaneSpan(const DrawSetup& s, int y, int x0, int x1, SpanStart a)
{
    const std::uint32_t wMask = static_cast<std::uint32_t>(s.texW - 1), hMask = static_cast<std::uint32_t>(s.texH - 1);
    const std::uint32_t tx0 = static_cast<std::uint32_t>(a.u >> 16) & wMask;
    const std::int64_t n = x1 - x0;
    // One texel per pixel, rising (or falling, for mirrored sprites) without wrapping.
    const bool rising = a.uStep > 0 && a.uStep < 2 * 65536 && ((a.u + n * a.uStep) >> 16) - (a.u >> 16) == n &&
                        tx0 + static_cast<std::uint32_t>(n) <= wMask;
    const bool falling = a.uStep < 0 && a.uStep > -2 * 65536 && (a.u >> 16) - ((a.u + n * a.uStep) >> 16) == n &&
                         static_cast<std::int64_t>(tx0) >= n;
    if (a.depthStep != 0.0 || a.vStep != 0 || !(rising || falling)) {
        s.planeFallback(s, y, x0, x1, a);
        return;
    }
    const int dir = rising ? 1 : -1;
    std::uint16_t* crow = s.color->Row16(y) + x0;
    std::uint16_t* zrow = s.depth ? s.depth->Row16(y) + x0 : nullptr;
    const std::size_t w = static_cast<std::size_t>(s.texW);
    const std::uint32_t ty = static_cast<std::uint32_t>(a.v >> 16) & hMask;
    // Texel of pixel i: colors[dir x i], alphas[dir x i].
    const std::uint16_t* colors = s.colorPlanes + static_cast<std::size_t>(ty) * w * 2 + tx0;
    const std::uint16_t* alphas = colors + w;
    std::uint32_t z = DepthFromUnits(a.depthUnits);
    z = z > s.zBias ? z - s.zBias : 0;
    const std::uint32_t zMask = s.zMask;
    const bool zTest = s.zTest && zrow, zWrite = s.zWrite && zrow;
    const int count = static_cast<int>(n) + 1;
    // A translucent texel: the stage's colour blended over the target, from the texel itself.
    auto blendOne = [&](int i) {
        const std::uint32_t raw = RawAt(s, static_cast<std::size_t>(ty) * s.texStride +
                                           static_cast<std::size_t>(static_cast<std::int64_t>(tx0) + dir * i));
        const RasterState& st = *s.state;
        const std::uint32_t constant = s.argIndex[1] == 2 ? st.textureFactor : s.diffuse;
        const std::uint32_t alphaConstant = (s.argIndex[3] == 2 ? st.textureFactor : s.diffuse) >> 24;
        std::uint32_t c[4];
        StageTexel<kOp, kAlphaModulate>(ExpandRaw(s, raw), Chan(constant, 16), Chan(constant, 8), Chan(constant, 0),
                                        alphaConstant, c);
        const std::uint32_t alpha = c[3], dst = ExpandTarget(crow[i], k565), inv = 255 - alpha;
        crow[i] = PackTarget((c[0] * alpha + Chan(dst, 16) * inv) / 255, (c[1] * alpha + Chan(dst, 8) * inv) / 255,
                             (c[2] * alpha + Chan(dst, 0) * inv) / 255, k565);
    };
    int i = 0;
#if defined(__SSE2__)
    const DepthTest8 test(z, zMask);
    const __m128i zv = test.z;
    const __m128i keyedMark = _mm_set1_epi16(static_cast<short>(kKeyedTexel));
    const __m128i opaque = _mm_set1_epi16(255);
    const __m128i clear = _mm_setzero_si128();
    // Eight texels of pixels i .. i + 7, in pixel order.
    auto load8 = [dir](const std::uint16_t* plane, int i) {
        if (dir > 0)
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane + i));
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane - i - 7));
        const __m128i halves = _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2));
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(halves, _MM_SHUFFLE(0, 1, 2, 3)), _MM_SHUFFLE(0, 1, 2, 3));
    };
    for (; i + 8 <= count; i += 8) {
        const __m128i al = load8(alphas, i);
        __m128i pass = _mm_andnot_si128(_mm_cmpeq_epi16(al, keyedMark), _mm_set1_epi16(-1));
        __m128i oldZ = clear;
        if (zTest) {
            oldZ = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zrow + i));
            pass = _mm_and_si128(pass, test.Pass(oldZ));
        }
        if (_mm_movemask_epi8(pass) == 0)
            continue;
        __m128i copy = pass;
        int translucent = 0;
        if constexpr (kBlend) {
            copy = _mm_and_si128(pass, _mm_cmpeq_epi16(al, opaque));
            const __m128i partial = _mm_andnot_si128(_mm_or_si128(copy, _mm_cmpeq_epi16(al, clear)), pass);
            translucent = _mm_movemask_epi8(partial);
        }
        const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(crow + i));
        const __m128i color = load8(colors, i);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(crow + i), _mm_or_si128(_mm_and_si128(copy, color), _mm_andnot_si128(copy, old)));
        if (zWrite)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(zrow + i), _mm_or_si128(_mm_and_si128(pass, zv), _mm_andnot_si128(pass, oldZ)));
        for (int lane = 0; translucent != 0; ++lane, translucent >>= 2)
            if (translucent & 1)
                blendOne(i + lane);
    }
#endif
    for (; i < count; ++i) {
        const std::uint32_t al = alphas[dir * i];
        if (al == kKeyedTexel)
            continue;
        if (zTest && !Passes(zMask, z, zrow[i]))
            continue;
        if (!kBlend || al == 255)
            crow[i] = colors[dir * i];
        else if (al != 0)
            blendOne(i);
        if (zWrite)
            zrow[i] = static_cast<std::uint16_t>(z);
    }
}

template <bool k565, int kOp, bool kAlphaModulate>
SpanFn StageSpanFor(BlendKind blend)
{
    switch (blend) {
    case BlendKind::None: return &StageSpan<k565, kOp, kAlphaModulate, BlendKind::None>;
    case BlendKind::SrcAlpha: return &StageSpan<k565, kOp, kAlphaModulate, BlendKind::SrcAlpha>;
    case BlendKind::DestColor: return &StageSpan<k565, kOp, kAlphaModulate, BlendKind::DestColor>;
    case BlendKind::Additive: return &StageSpan<k565, kOp, kAlphaModulate, BlendKind::Additive>;
    case BlendKind::Any: break;
    }
    return &StageSpan<k565, kOp, kAlphaModulate, BlendKind::Any>;
}

template <bool k565>
SpanFn StageSpanFor(int op, bool alphaModulate, BlendKind blend)
{
    constexpr int M = static_cast<int>(TextureOp::Modulate), S1 = static_cast<int>(TextureOp::SelectArg1),
                  AS = static_cast<int>(TextureOp::AddSmooth);
    if (op == M)
        return alphaModulate ? StageSpanFor<k565, M, true>(blend) : StageSpanFor<k565, M, false>(blend);
    if (op == AS)
        return alphaModulate ? StageSpanFor<k565, AS, true>(blend) : StageSpanFor<k565, AS, false>(blend);
    return alphaModulate ? StageSpanFor<k565, S1, true>(blend) : StageSpanFor<k565, S1, false>(blend);
}

// The stage operation a stage span resolves for this draw (colour op, and whether alpha is the
// texel's times the constant's), or false when its stage or texture needs the general pipeline.
bool StageOf(const DrawSetup& s, int& op, bool& alphaModulate)
{
    if (!s.hasTexture || !s.texPow2 || !s.constantDiffuse)
        return false;
    const RasterState& st = *s.state;
    const bool texFirst = st.colorArg1 == TextureArg::Texture && st.colorArg2 != TextureArg::Texture;
    if (st.colorOp == TextureOp::SelectArg1 && st.colorArg1 == TextureArg::Texture)
        op = static_cast<int>(TextureOp::SelectArg1);
    else if (texFirst && (st.colorOp == TextureOp::Modulate || st.colorOp == TextureOp::AddSmooth))
        op = static_cast<int>(st.colorOp);
    else
        return false;
    if (st.alphaOp == TextureOp::SelectArg1 && st.alphaArg1 == TextureArg::Texture)
        alphaModulate = false;
    else if (st.alphaOp == TextureOp::Modulate && st.alphaArg1 == TextureArg::Texture && st.alphaArg2 != TextureArg::Texture)
        alphaModulate = true;
    else
        return false;
    return true;
}

BlendKind BlendOf(const DrawSetup& s)
{
    const RasterState& st = *s.state;
    if (!s.blend)
        return BlendKind::None;
    if (st.srcBlend == BlendFactor::SrcAlpha && st.destBlend == BlendFactor::InvSrcAlpha)
        return BlendKind::SrcAlpha;
    if (st.srcBlend == BlendFactor::DestColor && st.destBlend == BlendFactor::InvSrcAlpha)
        return BlendKind::DestColor;
    if (st.srcBlend == BlendFactor::SrcAlpha && st.destBlend == BlendFactor::One)
        return BlendKind::Additive;
    return BlendKind::Any;
}

template <bool k565, int kOp, bool kAlphaModulate>
SpanFn ColorPlaneSpanFor(bool blend)
{
    return blend ? &ColorPlaneSpan<k565, kOp, kAlphaModulate, true> : &ColorPlaneSpan<k565, kOp, kAlphaModulate, false>;
}

template <bool k565>
SpanFn ColorPlaneSpanFor(int op, bool alphaModulate, bool blend)
{
    constexpr int M = static_cast<int>(TextureOp::Modulate), AS = static_cast<int>(TextureOp::AddSmooth);
    if (op == M)
        return alphaModulate ? ColorPlaneSpanFor<k565, M, true>(blend) : ColorPlaneSpanFor<k565, M, false>(blend);
    if (op == AS)
        return alphaModulate ? ColorPlaneSpanFor<k565, AS, true>(blend) : ColorPlaneSpanFor<k565, AS, false>(blend);
    return alphaModulate ? ColorPlaneSpanFor<k565, 0, true>(blend) : ColorPlaneSpanFor<k565, 0, false>(blend);
}

SpanFn ColorPlaneSpanFor(bool is565, int op, bool alphaModulate, bool blend)
{
    return is565 ? ColorPlaneSpanFor<true>(op, alphaModulate, blend) : ColorPlaneSpanFor<false>(op, alphaModulate, blend);
}

// The stage span for this draw, or null when its stage or texture needs the general pipeline.
SpanFn ChooseStageSpan(const DrawSetup& s)
{
    int op = 0;
    bool alphaModulate = false;
    if (!StageOf(s, op, alphaModulate))
        return nullptr;
    const BlendKind blend = BlendOf(s);
    if (blend == BlendKind::DestColor && s.factorPlanes)
        return s.is565 ? &DestColorSpan<true> : &DestColorSpan<false>;
    if ((blend == BlendKind::None || blend == BlendKind::SrcAlpha) && s.colorPlanes)
        return ColorPlaneSpanFor(s.is565, op, alphaModulate, blend == BlendKind::SrcAlpha);
    return s.is565 ? StageSpanFor<true>(op, alphaModulate, blend) : StageSpanFor<false>(op, alphaModulate, blend);
}

// Textures larger than this are drawn without planes: making them could cost more than the draw.
constexpr std::size_t kMaxPlaneTexels = 512 * 512;

// Gives a stage draw its per-texel planes, kept with the texture: the factor planes of a
// DESTCOLOR/INVSRCALPHA draw, the colour planes of an opaque or SRCALPHA/INVSRCALPHA one. Runs on
// the drawing thread under the texture's sample lock, before any band starts.
void PreparePlanes(DrawSetup& s)
{
    int op = 0;
    bool alphaModulate = false;
    if (s.linear || s.alphaTest || !StageOf(s, op, alphaModulate))
        return;
    const BlendKind blend = BlendOf(s);
    const bool factors = blend == BlendKind::DestColor;
    if (!factors && blend != BlendKind::None && blend != BlendKind::SrcAlpha)
        return;
    const SpanFn fallback = ChooseStageSpan(s);
    const RasterState& st = *s.state;
    const std::uint32_t constant = (s.argIndex[1] == 2 ? st.textureFactor : s.diffuse) & 0xFFFFFFu;
    const std::uint32_t alphaConstant = (s.argIndex[3] == 2 ? st.textureFactor : s.diffuse) >> 24;
    const std::uint64_t key = std::uint64_t{1} << 63 | std::uint64_t{factors} << 42 | std::uint64_t{s.is565} << 41 |
                              std::uint64_t{s.keyed} << 40 | std::uint64_t{alphaModulate} << 36 | std::uint64_t(op) << 32 |
                              std::uint64_t{alphaModulate ? alphaConstant : 0} << 24 | constant;
    const std::size_t texels = static_cast<std::size_t>(s.texW) * static_cast<std::size_t>(s.texH);
    if (texels > kMaxPlaneTexels)
        return;
    bool fresh = false;
    std::uint16_t* planes = s.stateTexture->StageTable(key, s.keyed ? s.key : 0, texels * (factors ? 4 : 2), fresh);
    if (fresh) {
        constexpr int M = static_cast<int>(TextureOp::Modulate), AS = static_cast<int>(TextureOp::AddSmooth);
        const int kind = op == M ? 1 : op == AS ? 2 : 0;
        using Maker = void (*)(const DrawSetup&, std::uint32_t, std::uint32_t, std::uint16_t*);
        // [planes: factors, colours 565, colours 555][operation][alpha modulated]
        constexpr PlaneKind F = PlaneKind::Factors, C6 = PlaneKind::Colors565, C5 = PlaneKind::Colors555;
        static const Maker kMakers[3][3][2] = {
            {{&MakePlanes<0, false, F>, &MakePlanes<0, true, F>},
             {&MakePlanes<M, false, F>, &MakePlanes<M, true, F>},
             {&MakePlanes<AS, false, F>, &MakePlanes<AS, true, F>}},
            {{&MakePlanes<0, false, C6>, &MakePlanes<0, true, C6>},
             {&MakePlanes<M, false, C6>, &MakePlanes<M, true, C6>},
             {&MakePlanes<AS, false, C6>, &MakePlanes<AS, true, C6>}},
            {{&MakePlanes<0, false, C5>, &MakePlanes<0, true, C5>},
             {&MakePlanes<M, false, C5>, &MakePlanes<M, true, C5>},
             {&MakePlanes<AS, false, C5>, &MakePlanes<AS, true, C5>}},
        };
        kMakers[factors ? 0 : s.is565 ? 1 : 2][kind][alphaModulate ? 1 : 0](s, constant, alphaConstant, planes);
    }
    s.planeFallback = fallback;
    if (factors)
        s.factorPlanes = planes;
    else
        s.colorPlanes = planes;
}

SpanFn ChooseSpan(const DrawSetup& s, bool flatZ, bool oneRow)
{
    const bool fast = s.display && s.texPow2 && !s.linear && (s.texelOnly || s.constantModulate) && !s.alphaTest &&
                      !s.blend && s.depth && s.zTest;
    if (fast) {
        static const SpanFn kTable[16] = {
            &FastSpanFor<false, false, false, false>, &FastSpanFor<false, false, false, true>,
            &FastSpanFor<false, false, true, false>,  &FastSpanFor<false, false, true, true>,
            &FastSpanFor<false, true, false, false>,  &FastSpanFor<false, true, false, true>,
            &FastSpanFor<false, true, true, false>,   &FastSpanFor<false, true, true, true>,
            &FastSpanFor<true, false, false, false>,  &FastSpanFor<true, false, false, true>,
            &FastSpanFor<true, false, true, false>,   &FastSpanFor<true, false, true, true>,
            &FastSpanFor<true, true, false, false>,   &FastSpanFor<true, true, false, true>,
            &FastSpanFor<true, true, true, false>,    &FastSpanFor<true, true, true, true>,
        };
        return kTable[(s.is565 ? 8 : 0) + (s.zWrite ? 4 : 0) + (flatZ ? 2 : 0) + (oneRow ? 1 : 0)];
    }
    if (s.display && s.texPow2 && !s.linear && s.texelOnly && !s.alphaTest && !s.blend && !s.zTest)
        return oneRow ? &CopySpan<true> : &CopySpan<false>;
    const bool blendFast = !s.colorPlanes && s.hasTexture && s.texPow2 && !s.linear && s.texelOnly && s.blend &&
                           s.state->srcBlend == BlendFactor::SrcAlpha && s.state->destBlend == BlendFactor::InvSrcAlpha;
    if (blendFast)
        return s.is565 ? &BlendSpan<true> : &BlendSpan<false>;
    if (const SpanFn stage = ChooseStageSpan(s))
        return stage;
    // The general pipeline, with the stage's colour operation resolved for the common ones.
    const int texCase = !s.hasTexture ? 0 : (s.texPow2 ? 1 : 2);
    int opCase = 0;
    switch (s.state->colorOp) {
    case TextureOp::Modulate: opCase = 1; break;
    case TextureOp::SelectArg1: opCase = 2; break;
    case TextureOp::SelectArg2: opCase = 3; break;
    case TextureOp::AddSmooth: opCase = 4; break;
    default: opCase = 0; break;
    }
    constexpr int M = static_cast<int>(TextureOp::Modulate), S1 = static_cast<int>(TextureOp::SelectArg1),
                  S2 = static_cast<int>(TextureOp::SelectArg2), AS = static_cast<int>(TextureOp::AddSmooth);
    static const SpanFn kGeneral[3][5] = {
        {&ShadeSpan<false, false, 0>, &ShadeSpan<false, false, M>, &ShadeSpan<false, false, S1>,
         &ShadeSpan<false, false, S2>, &ShadeSpan<false, false, AS>},
        {&ShadeSpan<true, true, 0>, &ShadeSpan<true, true, M>, &ShadeSpan<true, true, S1>, &ShadeSpan<true, true, S2>,
         &ShadeSpan<true, true, AS>},
        {&ShadeSpan<true, false, 0>, &ShadeSpan<true, false, M>, &ShadeSpan<true, false, S1>,
         &ShadeSpan<true, false, S2>, &ShadeSpan<true, false, AS>},
    };
    return kGeneral[texCase][opCase];
}

// A vertex made ready for setup: snapped position and the attributes in the units spans use.
struct Prepared {
    std::int64_t X, Y; // sub-pixel
    double x, y;       // the snapped position in pixels
    double depthValue; // on its grid
    double depthUnits;
    double u, v;       // texel units
    double c[4];       // a, r, g, b
};

bool Prepare(const RasterVertex& in, const DrawSetup& s, Prepared& out)
{
    if (!std::isfinite(in.x) || !std::isfinite(in.y) || std::fabs(in.x) > kMaxCoord || std::fabs(in.y) > kMaxCoord)
        return false;
    out.X = FastFloor(static_cast<double>(in.x) * kSub + 0.5);
    out.Y = FastFloor(static_cast<double>(in.y) * kSub + 0.5);
    out.x = static_cast<double>(out.X) / kSub;
    out.y = static_cast<double>(out.Y) / kSub;
    out.depthValue = DepthValueOfZ(std::isnan(in.z) ? 1.0f : in.z);
    out.depthUnits = out.depthValue * kDepthScale;
    const double u = std::isfinite(in.u) ? in.u : 0.0, v = std::isfinite(in.v) ? in.v : 0.0;
    out.u = u * s.texW;
    out.v = v * s.texH;
    for (int i = 0; i < 4; ++i)
        out.c[i] = static_cast<double>((in.diffuse >> (24 - 8 * i)) & 0xFF);
    return true;
}

// Keeps u and v of a triangle near the origin (wrapping is periodic in whole texture sizes), so that
// the 16.16 steppers never overflow.
void RebaseTexCoords(Prepared* p, int n, const DrawSetup& s)
{
    if (!s.hasTexture)
        return;
    const double bu = std::floor(p[0].u / s.texW) * s.texW, bv = std::floor(p[0].v / s.texH) * s.texH;
    for (int i = 0; i < n; ++i) {
        p[i].u -= bu;
        p[i].v -= bv;
        p[i].u = std::clamp(p[i].u, -1.0e7, 1.0e7);
        p[i].v = std::clamp(p[i].v, -1.0e7, 1.0e7);
    }
}

inline std::int64_t ToFixed16(double v) { return FastFloor(v * 65536.0); }
inline std::int32_t ColorFixed(double v) { return static_cast<std::int32_t>(std::clamp(v, 0.0, 255.99) * 65536.0); }

void DrawTriangle(const DrawSetup& s, Prepared p0, Prepared p1, Prepared p2)
{
    // A band runs every triangle of its draw: those wholly above or below its rows cost no set-up.
    if (FloorDiv(std::max({p0.Y, p1.Y, p2.Y}) - kSub / 2, kSub) < s.clip.top - 1 ||
        CeilDiv(std::min({p0.Y, p1.Y, p2.Y}) - kSub / 2, kSub) > s.clip.bottom)
        return;
    std::int64_t area = (p1.X - p0.X) * (p2.Y - p0.Y) - (p2.X - p0.X) * (p1.Y - p0.Y);
    if (area == 0)
        return;
    if (area < 0) {
        std::swap(p1, p2);
        area = -area;
    }
    Prepared tri[3] = {p0, p1, p2};
    RebaseTexCoords(tri, 3, s);

    // Attribute gradients from the snapped positions.
    const double dx1 = tri[1].x - tri[0].x, dy1 = tri[1].y - tri[0].y;
    const double dx2 = tri[2].x - tri[0].x, dy2 = tri[2].y - tri[0].y;
    const double inv = 1.0 / (dx1 * dy2 - dx2 * dy1);
    auto grad = [&](double a0, double a1, double a2, double& ddx, double& ddy) {
        ddx = ((a1 - a0) * dy2 - (a2 - a0) * dy1) * inv;
        ddy = ((a2 - a0) * dx1 - (a1 - a0) * dx2) * inv;
    };
    double zdx, zdy, udx, udy, vdx, vdy, cdx[4], cdy[4];
    grad(tri[0].depthUnits, tri[1].depthUnits, tri[2].depthUnits, zdx, zdy);
    grad(tri[0].u, tri[1].u, tri[2].u, udx, udy);
    grad(tri[0].v, tri[1].v, tri[2].v, vdx, vdy);
    bool gouraud = false;
    for (int i = 0; i < 4; ++i) {
        grad(tri[0].c[i], tri[1].c[i], tri[2].c[i], cdx[i], cdy[i]);
        if (tri[0].c[i] != tri[1].c[i] || tri[0].c[i] != tri[2].c[i])
            gouraud = true;
    }

    // Edges a -> b with their fill-rule bias.
    struct Edge {
        std::int64_t ax, ay, dx, dy, bias;
        std::int64_t A, D; // A = -dy; D = |A| x sub-pixel steps
        double inv;
    } edges[3];
    for (int i = 0; i < 3; ++i) {
        const Prepared& a = tri[i];
        const Prepared& b = tri[(i + 1) % 3];
        Edge& e = edges[i];
        e.ax = a.X;
        e.ay = a.Y;
        e.dx = b.X - a.X;
        e.dy = b.Y - a.Y;
        const bool topLeft = e.dy < 0 || (e.dy == 0 && e.dx > 0);
        e.bias = topLeft ? 0 : 1;
        e.A = -e.dy;
        e.D = (e.A < 0 ? -e.A : e.A) * kSub;
        e.inv = e.D ? 1.0 / static_cast<double>(e.D) : 0.0;
    }

    const std::int64_t minY = std::min({tri[0].Y, tri[1].Y, tri[2].Y});
    const std::int64_t maxY = std::max({tri[0].Y, tri[1].Y, tri[2].Y});
    const std::int64_t minX = std::min({tri[0].X, tri[1].X, tri[2].X});
    const std::int64_t maxX = std::max({tri[0].X, tri[1].X, tri[2].X});
    // Pixel centres lie at (px + 0.5, py + 0.5).
    std::int64_t y0 = std::max<std::int64_t>(FloorDiv(minY - kSub / 2, kSub), s.clip.top);
    std::int64_t y1 = std::min<std::int64_t>(CeilDiv(maxY - kSub / 2, kSub), s.clip.bottom - 1);
    const std::int64_t bx0 = std::max<std::int64_t>(FloorDiv(minX - kSub / 2, kSub), s.clip.left);
    const std::int64_t bx1 = std::min<std::int64_t>(CeilDiv(maxX - kSub / 2, kSub), s.clip.right - 1);
    if (bx0 > bx1)
        return;
    const SpanFn span = ChooseSpan(s, zdx == 0.0, ToFixed16(vdx) == 0);

    for (std::int64_t py = y0; py <= y1; ++py) {
        const std::int64_t Py = py * kSub + kSub / 2;
        std::int64_t xs = bx0, xe = bx1;
        for (const Edge& e : edges) {
            // Inside: dx (Py - ay) - dy (Px - ax) - bias >= 0 with Px = 16 px + 8, that is
            // A x 16 px >= K.
            const std::int64_t C = e.dx * (Py - e.ay) + e.dy * e.ax;
            const std::int64_t K = e.bias - C - e.A * (kSub / 2);
            if (e.A > 0)
                xs = std::max(xs, -FloorDivFast(-K, e.D, e.inv)); // ceil(K / D)
            else if (e.A < 0)
                xe = std::min(xe, FloorDivFast(-K, e.D, e.inv)); // floor(K / -D)
            else if (C - e.bias < 0)
                xs = xe + 1;
        }
        if (xs > xe)
            continue;
        const double cx = static_cast<double>(xs) + 0.5 - tri[0].x;
        const double cy = static_cast<double>(py) + 0.5 - tri[0].y;
        SpanStart st{};
        st.depthUnits = tri[0].depthUnits + zdx * cx + zdy * cy;
        st.depthStep = zdx;
        st.u = ToFixed16(tri[0].u + udx * cx + udy * cy);
        st.v = ToFixed16(tri[0].v + vdx * cx + vdy * cy);
        st.uStep = ToFixed16(udx);
        st.vStep = ToFixed16(vdx);
        if (!s.texelOnly)
            for (int i = 0; i < 4; ++i) {
                st.c[i] = ColorFixed(tri[0].c[i] + cdx[i] * cx + cdy[i] * cy);
                st.cStep[i] = gouraud ? static_cast<std::int32_t>(cdx[i] * 65536.0) : 0;
            }
        st.gouraud = gouraud;
        s.pixels += static_cast<std::uint64_t>(xe - xs + 1);
        span(s, static_cast<int>(py), static_cast<int>(xs), static_cast<int>(xe), st);
    }
}

// A strip of four vertices forming a screen-aligned rectangle whose attributes lie in one plane
// (every sprite, tile and picture of the game) covers exactly the pixels its two triangles would
// cover, with the same values; drawing it row by row at full width halves the per-row work.
// false when the strip is not such a quad.
bool DrawAxisQuad(const DrawSetup& s, const Prepared* p)
{
    if (p[0].Y != p[1].Y || p[2].Y != p[3].Y || p[0].X != p[2].X || p[1].X != p[3].X)
        return false;
    if (p[0].X == p[1].X || p[0].Y == p[2].Y)
        return true; // nothing covered
    auto planar = [](double a0, double a1, double a2, double a3) { return a3 - a1 == a2 - a0; };
    if (!planar(p[0].depthValue, p[1].depthValue, p[2].depthValue, p[3].depthValue) ||
        !planar(p[0].u, p[1].u, p[2].u, p[3].u) || !planar(p[0].v, p[1].v, p[2].v, p[3].v))
        return false;
    bool gouraud = false;
    for (int i = 0; i < 4; ++i) {
        if (!planar(p[0].c[i], p[1].c[i], p[2].c[i], p[3].c[i]))
            return false;
        if (p[1].c[i] != p[0].c[i] || p[2].c[i] != p[0].c[i])
            gouraud = true;
    }
    Prepared q[4] = {p[0], p[1], p[2], p[3]};
    RebaseTexCoords(q, 4, s);
    const Prepared& o = q[0];
    const double w = q[1].x - o.x, h = q[2].y - o.y;
    const double zdx = (q[1].depthUnits - o.depthUnits) / w, zdy = (q[2].depthUnits - o.depthUnits) / h;
    const double udx = (q[1].u - o.u) / w, udy = (q[2].u - o.u) / h;
    const double vdx = (q[1].v - o.v) / w, vdy = (q[2].v - o.v) / h;
    double cdx[4], cdy[4];
    for (int i = 0; i < 4; ++i) {
        cdx[i] = (q[1].c[i] - o.c[i]) / w;
        cdy[i] = (q[2].c[i] - o.c[i]) / h;
    }
    // Pixel centres c + 0.5 within [low, high): c from ceil(low - 0.5) to ceil(high - 0.5) - 1.
    const std::int64_t xLo = std::min(q[0].X, q[1].X), xHi = std::max(q[0].X, q[1].X);
    const std::int64_t yLo = std::min(q[0].Y, q[2].Y), yHi = std::max(q[0].Y, q[2].Y);
    const std::int64_t x0 = std::max<std::int64_t>(CeilDiv(xLo - kSub / 2, kSub), s.clip.left);
    const std::int64_t x1 = std::min<std::int64_t>(CeilDiv(xHi - kSub / 2, kSub) - 1, s.clip.right - 1);
    const std::int64_t y0 = std::max<std::int64_t>(CeilDiv(yLo - kSub / 2, kSub), s.clip.top);
    const std::int64_t y1 = std::min<std::int64_t>(CeilDiv(yHi - kSub / 2, kSub) - 1, s.clip.bottom - 1);
    if (x0 > x1 || y0 > y1)
        return true;
    const SpanFn span = ChooseSpan(s, zdx == 0.0, ToFixed16(vdx) == 0);
    const double cx = static_cast<double>(x0) + 0.5 - o.x;
    for (std::int64_t py = y0; py <= y1; ++py) {
        const double cy = static_cast<double>(py) + 0.5 - o.y;
        SpanStart st{};
        st.depthUnits = o.depthUnits + zdx * cx + zdy * cy;
        st.depthStep = zdx;
        st.u = ToFixed16(o.u + udx * cx + udy * cy);
        st.v = ToFixed16(o.v + vdx * cx + vdy * cy);
        st.uStep = ToFixed16(udx);
        st.vStep = ToFixed16(vdx);
        if (!s.texelOnly)
            for (int i = 0; i < 4; ++i) {
                st.c[i] = ColorFixed(o.c[i] + cdx[i] * cx + cdy[i] * cy);
                st.cStep[i] = gouraud ? static_cast<std::int32_t>(cdx[i] * 65536.0) : 0;
            }
        st.gouraud = gouraud;
        s.pixels += static_cast<std::uint64_t>(x1 - x0 + 1);
        span(s, static_cast<int>(py), static_cast<int>(x0), static_cast<int>(x1), st);
    }
    return true;
}

// A line from a to b, half-open: the pixel whose centre the end point reaches is left to the next
// line, so that chained lines meet without a pixel drawn twice.
void DrawLine(const DrawSetup& s, Prepared a, Prepared b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const double len = xMajor ? dx : dy;
    if (len == 0.0)
        return;
    const SpanFn span = ChooseSpan(s, false, false);
    Prepared pts[2] = {a, b};
    RebaseTexCoords(pts, 2, s);
    a = pts[0];
    b = pts[1];
    const double start = xMajor ? a.x : a.y, end = xMajor ? b.x : b.y;
    const double lo = std::min(start, end), hi = std::max(start, end);
    // Major coordinates c with the centre c + 0.5 in [start, end) (or (end, start] going back).
    std::int64_t c0 = static_cast<std::int64_t>(std::ceil(lo - 0.5));
    std::int64_t c1 = static_cast<std::int64_t>(std::ceil(hi - 0.5)) - 1;
    if (len < 0) { // going back: the start is included, the end excluded
        c0 = static_cast<std::int64_t>(std::floor(lo - 0.5)) + 1;
        c1 = static_cast<std::int64_t>(std::floor(hi - 0.5));
    }
    const int limLo = xMajor ? s.clip.left : s.clip.top;
    const int limHi = (xMajor ? s.clip.right : s.clip.bottom) - 1;
    c0 = std::max<std::int64_t>(c0, limLo);
    c1 = std::min<std::int64_t>(c1, limHi);
    for (std::int64_t c = c0; c <= c1; ++c) {
        const double t = (static_cast<double>(c) + 0.5 - start) / len;
        const double minor = xMajor ? a.y + dy * t : a.x + dx * t;
        const std::int64_t m = static_cast<std::int64_t>(std::floor(minor));
        const std::int64_t px = xMajor ? c : m, py = xMajor ? m : c;
        if (px < s.clip.left || px >= s.clip.right || py < s.clip.top || py >= s.clip.bottom)
            continue;
        SpanStart st{};
        st.depthUnits = a.depthUnits + (b.depthUnits - a.depthUnits) * t;
        st.u = ToFixed16(a.u + (b.u - a.u) * t);
        st.v = ToFixed16(a.v + (b.v - a.v) * t);
        for (int i = 0; i < 4; ++i)
            st.c[i] = ColorFixed(a.c[i] + (b.c[i] - a.c[i]) * t);
        ++s.pixels;
        span(s, static_cast<int>(py), static_cast<int>(px), static_cast<int>(px), st);
    }
}

void DrawPoint(const DrawSetup& s, const Prepared& p)
{
    const SpanFn span = ChooseSpan(s, false, false);
    const std::int64_t px = static_cast<std::int64_t>(std::floor(p.x)), py = static_cast<std::int64_t>(std::floor(p.y));
    if (px < s.clip.left || px >= s.clip.right || py < s.clip.top || py >= s.clip.bottom)
        return;
    Prepared q = p;
    RebaseTexCoords(&q, 1, s);
    SpanStart st{};
    st.depthUnits = q.depthUnits;
    st.u = ToFixed16(q.u);
    st.v = ToFixed16(q.v);
    for (int i = 0; i < 4; ++i)
        st.c[i] = ColorFixed(q.c[i]);
    ++s.pixels;
    span(s, static_cast<int>(py), static_cast<int>(px), static_cast<int>(px), st);
}

bool MakeSetup(const RenderTarget& target, const RasterState& state, DrawSetup& s)
{
    if (!target.color || target.color->Empty())
        return false;
    const PixelFormat cf = target.color->Format();
    if (cf != PixelFormat::RGB565 && cf != PixelFormat::RGB555)
        return false;
    s.color = target.color;
    s.is565 = cf == PixelFormat::RGB565;
    s.clip.left = std::max(0, target.viewport.left);
    s.clip.top = std::max(0, target.viewport.top);
    s.clip.right = std::min(target.color->Width(), target.viewport.right);
    s.clip.bottom = std::min(target.color->Height(), target.viewport.bottom);
    if (target.depth && target.depth->Format() == PixelFormat::Depth16 && !target.depth->Empty()) {
        s.depth = target.depth;
        s.clip.right = std::min(s.clip.right, target.depth->Width());
        s.clip.bottom = std::min(s.clip.bottom, target.depth->Height());
    }
    s.state = &state;
    // Without a Z-buffer, or with the depth test off, nothing touches depths at all.
    if (!s.depth || !state.zEnable)
        s.depth = nullptr;
    s.zTest = s.depth != nullptr;
    s.zWrite = s.depth != nullptr && state.zWrite;
    s.zMask = CompareMask(state.zFunc);
    s.zFuncLessEqual = state.zFunc == CompareFunc::LessEqual;
    s.zBias = std::min<std::uint32_t>(state.zBias, 16);
    s.alphaTest = state.alphaTest;
    s.alphaMask = CompareMask(state.alphaFunc);
    s.alphaRef = state.alphaRef & 0xFF;
    s.blend = state.alphaBlend;
    auto argIndex = [](TextureArg a) -> std::uint8_t {
        return a == TextureArg::Texture ? 0 : (a == TextureArg::TFactor ? 2 : 1);
    };
    s.argIndex[0] = argIndex(state.colorArg1);
    s.argIndex[1] = argIndex(state.colorArg2);
    s.argIndex[2] = argIndex(state.alphaArg1);
    s.argIndex[3] = argIndex(state.alphaArg2);
    if (state.texture) {
        const Texture& t = *state.texture;
        s.stateTexture = &t;
        s.hasTexture = true;
        s.texRaw = t.Pixels().Bits();
        s.tex32 = BytesPerPixel(t.Format()) == 4;
        s.texStride = t.Pixels().Pitch() / BytesPerPixel(t.Format());
        s.expand = Texture::ExpandTable(t.Format());
        s.texW = state.texture->Width();
        s.texH = state.texture->Height();
        s.texPow2 = (s.texW & (s.texW - 1)) == 0 && (s.texH & (s.texH - 1)) == 0;
        s.linear = state.magFilter == TextureFilter::Linear;
    }
    return true;
}

// Decides whether the stage's result is the texel unchanged for this draw's vertices.
bool TexelOnly(const RasterState& st, const RasterVertex* v, std::uint32_t count, const std::uint16_t* idx,
               std::uint32_t indexCount)
{
    if (!st.texture)
        return false;
    auto isTex = [](TextureArg a) { return a == TextureArg::Texture; };
    auto isDiffuse = [](TextureArg a) { return a == TextureArg::Diffuse || a == TextureArg::Current; };
    bool allWhite = true;
    const std::uint32_t n = idx ? indexCount : count;
    for (std::uint32_t i = 0; i < n && allWhite; ++i) {
        const std::uint32_t k = idx ? idx[i] : i;
        if (k < count && v[k].diffuse != 0xFFFFFFFFu)
            allWhite = false;
    }
    auto passes = [&](TextureOp op, TextureArg a1, TextureArg a2) {
        if (op == TextureOp::SelectArg1)
            return isTex(a1);
        if (op == TextureOp::SelectArg2)
            return isTex(a2);
        if (op == TextureOp::Modulate)
            return allWhite && ((isTex(a1) && isDiffuse(a2)) || (isDiffuse(a1) && isTex(a2)));
        return false;
    };
    return passes(st.colorOp, st.colorArg1, st.colorArg2) && passes(st.alphaOp, st.alphaArg1, st.alphaArg2);
}

// Whether the stage's colour is the texel times one diffuse colour shared by every vertex of the
// draw; the colour (0xRRGGBB) goes to color.
bool ConstantModulate(const RasterState& st, const RasterVertex* v, std::uint32_t count, const std::uint16_t* idx,
                      std::uint32_t indexCount, std::uint32_t& color)
{
    auto isTex = [](TextureArg a) { return a == TextureArg::Texture; };
    auto isDiffuse = [](TextureArg a) { return a == TextureArg::Diffuse || a == TextureArg::Current; };
    if (!st.texture || st.colorOp != TextureOp::Modulate ||
        !((isTex(st.colorArg1) && isDiffuse(st.colorArg2)) || (isDiffuse(st.colorArg1) && isTex(st.colorArg2))))
        return false;
    const std::uint32_t n = idx ? indexCount : count;
    bool first = true;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t k = idx ? idx[i] : i;
        if (k >= count)
            continue;
        const std::uint32_t rgb = v[k].diffuse & 0xFFFFFFu;
        if (first)
            color = rgb;
        else if (rgb != color)
            return false;
        first = false;
    }
    return !first;
}

// Whether every vertex the draw uses has one diffuse colour, alpha included; that colour goes to
// diffuse.
bool ConstantDiffuse(const RasterVertex* v, std::uint32_t count, const std::uint16_t* idx, std::uint32_t indexCount,
                     std::uint32_t& diffuse)
{
    const std::uint32_t n = idx ? indexCount : count;
    bool first = true;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t k = idx ? idx[i] : i;
        if (k >= count)
            continue;
        if (first)
            diffuse = v[k].diffuse;
        else if (v[k].diffuse != diffuse)
            return false;
        first = false;
    }
    return !first;
}

// One draw's primitives, run whole or one band of rows at a time.
struct DrawJob {
    static constexpr int kMaxBands = 128;
    const DrawSetup* setup;
    PrimitiveType type;
    const Prepared* prepared;
    const bool* ok;
    std::uint32_t n;
    int top = 0;
    int rows = 0;
    int bands = 0;
    std::uint64_t bandPixels[kMaxBands] = {};

    static void RunBand(void* context, int band)
    {
        DrawJob& job = *static_cast<DrawJob*>(context);
        DrawSetup s = *job.setup;
        s.pixels = 0;
        s.clip.top = job.top + static_cast<int>(static_cast<std::int64_t>(job.rows) * band / job.bands);
        s.clip.bottom = job.top + static_cast<int>(static_cast<std::int64_t>(job.rows) * (band + 1) / job.bands);
        job.RunPrimitives(s);
        job.bandPixels[band] = s.pixels;
    }

    void RunPrimitives(const DrawSetup& s) const
    {
        const std::uint32_t n = this->n;
        auto triangle = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
            if (!ok[a] || !ok[b] || !ok[c])
                return;
            switch (s.state->fillMode) {
            case FillMode::Solid:
                DrawTriangle(s, prepared[a], prepared[b], prepared[c]);
                break;
            case FillMode::Wireframe:
                DrawLine(s, prepared[a], prepared[b]);
                DrawLine(s, prepared[b], prepared[c]);
                DrawLine(s, prepared[c], prepared[a]);
                break;
            case FillMode::Point:
                DrawPoint(s, prepared[a]);
                DrawPoint(s, prepared[b]);
                DrawPoint(s, prepared[c]);
                break;
            }
        };
        switch (type) {
        case PrimitiveType::LineList:
            for (std::uint32_t i = 0; i + 1 < n; i += 2)
                if (ok[i] && ok[i + 1])
                    DrawLine(s, prepared[i], prepared[i + 1]);
            break;
        case PrimitiveType::TriangleList:
            for (std::uint32_t i = 0; i + 2 < n; i += 3)
                triangle(i, i + 1, i + 2);
            break;
        case PrimitiveType::TriangleStrip:
            if (n == 4 && s.state->fillMode == FillMode::Solid && ok[0] && ok[1] && ok[2] && ok[3] &&
                DrawAxisQuad(s, prepared))
                break;
            for (std::uint32_t i = 0; i + 2 < n; ++i) {
                if (i % 2 == 0)
                    triangle(i, i + 1, i + 2);
                else
                    triangle(i + 1, i, i + 2);
            }
            break;
        case PrimitiveType::TriangleFan:
            for (std::uint32_t i = 1; i + 1 < n; ++i)
                triangle(0, i, i + 1);
            break;
        }
    }
};

bool Draw(const RenderTarget& target, const RasterState& state, PrimitiveType type, const RasterVertex* vertices,
          std::uint32_t vertexCount, const std::uint16_t* indices, std::uint32_t indexCount)
{
    if (!vertices)
        return false;
    const std::uint32_t n = indices ? indexCount : vertexCount;
    if (indices)
        for (std::uint32_t i = 0; i < indexCount; ++i)
            if (indices[i] >= vertexCount)
                return false;
    switch (type) {
    case PrimitiveType::LineList:
        if (n < 2 || n % 2 != 0)
            return false;
        break;
    case PrimitiveType::TriangleList:
        if (n < 3 || n % 3 != 0)
            return false;
        break;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan:
        if (n < 3)
            return false;
        break;
    default:
        return false;
    }
    DrawSetup s;
    if (!MakeSetup(target, state, s))
        return false;
    if (s.clip.Empty())
        return true;

    // A texture being filled by another thread is waited for; its texels stay put while we draw.
    std::unique_lock<std::mutex> texGuard;
    if (state.texture && state.texture->LockedByThisThread())
        return false;
    if (state.texture) {
        texGuard = std::unique_lock<std::mutex>(state.texture->SampleMutex());
        // The loader may set the key while it fills the texture: read it under the same lock.
        s.keyed = state.colorKey && state.texture->HasColorKey();
        s.key = state.texture->ColorKey();
    }
    s.texelOnly = TexelOnly(state, vertices, vertexCount, indices, indexCount);
    s.constantDiffuse = ConstantDiffuse(vertices, vertexCount, indices, indexCount, s.diffuse);
    // The direct sprite path reads the picture in the target's format, made once per change.
    if (s.hasTexture && s.texPow2 && !s.linear && !s.alphaTest && !s.blend && s.depth && s.zTest) {
        if (s.texelOnly)
            s.display = state.texture->DisplayPixels(s.color->Format());
        else if ((s.constantModulate = ConstantModulate(state, vertices, vertexCount, indices, indexCount,
                                                        s.modulateColor)))
            s.display = state.texture->DisplayPixels(s.color->Format(), s.modulateColor);
    } else if (s.hasTexture && s.texPow2 && !s.linear && !s.alphaTest && !s.blend && !s.zTest && s.texelOnly) {
        s.display = state.texture->DisplayPixels(s.color->Format());
    }
    if (s.hasTexture && !s.display)
        PreparePlanes(s);

    // Most draws are a quad or a fan of a few points: keep them off the heap.
    constexpr std::uint32_t kLocal = 16;
    Prepared localPrepared[kLocal];
    bool localOk[kLocal];
    std::vector<Prepared> heapPrepared;
    std::unique_ptr<bool[]> heapOk;
    Prepared* prepared = localPrepared;
    bool* ok = localOk;
    if (n > kLocal) {
        heapPrepared.resize(n);
        heapOk = std::make_unique<bool[]>(n);
        prepared = heapPrepared.data();
        ok = heapOk.get();
    }
    for (std::uint32_t i = 0; i < n; ++i)
        ok[i] = Prepare(vertices[indices ? indices[i] : i], s, prepared[i]);

    DrawJob job{&s, type, prepared, ok, n};
    std::uint64_t pixels = 0;
    bool banded = false;
    const int threads = Bands().Threads();
    if (threads > 1) {
        // The rows and columns the draw's vertices can reach within the clip.
        double minX = 1e30, maxX = -1e30, minY = 1e30, maxY = -1e30;
        for (std::uint32_t i = 0; i < n; ++i)
            if (ok[i]) {
                minX = std::min(minX, prepared[i].x), maxX = std::max(maxX, prepared[i].x);
                minY = std::min(minY, prepared[i].y), maxY = std::max(maxY, prepared[i].y);
            }
        const int top = std::max(s.clip.top, static_cast<int>(std::floor(minY)) - 1);
        const int bottom = std::min(s.clip.bottom, static_cast<int>(std::ceil(maxY)) + 1);
        const int left = std::max(s.clip.left, static_cast<int>(std::floor(minX)) - 1);
        const int right = std::min(s.clip.right, static_cast<int>(std::ceil(maxX)) + 1);
        const std::int64_t area = static_cast<std::int64_t>(std::max(0, bottom - top)) * std::max(0, right - left);
        const int rows = bottom - top;
        if (area >= kBandMinPixels && rows >= 2 * kBandMinRows) {
            job.top = top;
            job.rows = rows;
            job.bands = std::min({rows / kBandMinRows, static_cast<int>(area / kBandPixels), threads * 2, DrawJob::kMaxBands});
            if (Bands().Run(job.bands, &DrawJob::RunBand, &job)) {
                banded = true;
                g_RasterBanded.fetch_add(1, std::memory_order_relaxed);
                for (int b = 0; b < job.bands; ++b)
                    pixels += job.bandPixels[b];
            }
        }
    }
    // Small draws, and draws while another thread holds the pool, run whole here.
    if (!banded) {
        job.RunPrimitives(s);
        pixels = s.pixels;
    }
    g_RasterDraws.fetch_add(1, std::memory_order_relaxed);
    g_RasterPixels.fetch_add(pixels, std::memory_order_relaxed);
    return true;
}

Rect ClipToBuffer(const PixelBuffer& b, Rect r)
{
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, b.Width());
    r.bottom = std::min(r.bottom, b.Height());
    return r;
}

} // namespace

void SetRasterThreads(int threads)
{
    Bands().Resize(threads);
}

int RasterThreads()
{
    return Bands().Threads();
}

RasterCounters ReadRasterCounters()
{
    return {g_RasterDraws.load(std::memory_order_relaxed), g_RasterPixels.load(std::memory_order_relaxed),
            g_RasterBanded.load(std::memory_order_relaxed)};
}

void ResetRasterCounters()
{
    g_RasterDraws.store(0, std::memory_order_relaxed);
    g_RasterPixels.store(0, std::memory_order_relaxed);
    g_RasterBanded.store(0, std::memory_order_relaxed);
}

std::uint16_t DepthFromValue(double value)
{
    return static_cast<std::uint16_t>(DepthFromUnits(value * kDepthScale));
}

std::uint16_t DepthFromZ(float z)
{
    return static_cast<std::uint16_t>(DepthFromUnits(DepthValueOfZ(z) * kDepthScale));
}

bool DrawPrimitive(const RenderTarget& target, const RasterState& state, PrimitiveType type,
                   const RasterVertex* vertices, std::uint32_t vertexCount)
{
    return Draw(target, state, type, vertices, vertexCount, nullptr, 0);
}

bool DrawIndexedPrimitive(const RenderTarget& target, const RasterState& state, PrimitiveType type,
                          const RasterVertex* vertices, std::uint32_t vertexCount, const std::uint16_t* indices,
                          std::uint32_t indexCount)
{
    if (!indices)
        return false;
    return Draw(target, state, type, vertices, vertexCount, indices, indexCount);
}

void FillDepth(PixelBuffer& depth, const Rect& rect, std::uint16_t value)
{
    if (depth.Format() != PixelFormat::Depth16)
        return;
    FillColor16(depth, rect, value);
}

void FillColor16(PixelBuffer& buffer, const Rect& rect, std::uint16_t value)
{
    if (BytesPerPixel(buffer.Format()) != 2)
        return;
    const Rect r = ClipToBuffer(buffer, rect);
    if (r.Empty())
        return;
    for (int y = r.top; y < r.bottom; ++y)
        std::fill(buffer.Row16(y) + r.left, buffer.Row16(y) + r.right, value);
}

void ClearDepth(PixelBuffer& depth, const Rect* rects, std::uint32_t rectCount, float z)
{
    const std::uint16_t value = DepthFromZ(z);
    if (!rects || rectCount == 0) {
        FillDepth(depth, Rect{0, 0, depth.Width(), depth.Height()}, value);
        return;
    }
    for (std::uint32_t i = 0; i < rectCount; ++i)
        FillDepth(depth, rects[i], value);
}

void BlitSelf16(PixelBuffer& buffer, Rect src, int x, int y)
{
    if (BytesPerPixel(buffer.Format()) != 2)
        return;
    // Clip the source to the buffer, then the destination, moving both together.
    if (src.left < 0) { x -= src.left; src.left = 0; }
    if (src.top < 0) { y -= src.top; src.top = 0; }
    if (x < 0) { src.left -= x; x = 0; }
    if (y < 0) { src.top -= y; y = 0; }
    src.right = std::min({src.right, buffer.Width(), src.left + (buffer.Width() - x)});
    src.bottom = std::min({src.bottom, buffer.Height(), src.top + (buffer.Height() - y)});
    if (src.Empty())
        return;
    const int w = src.Width(), h = src.Height();
    const std::size_t bytes = static_cast<std::size_t>(w) * 2;
    if (y > src.top) { // moving down: copy bottom rows first
        for (int r = h - 1; r >= 0; --r)
            std::memmove(buffer.Row16(y + r) + x, buffer.Row16(src.top + r) + src.left, bytes);
    } else {
        for (int r = 0; r < h; ++r)
            std::memmove(buffer.Row16(y + r) + x, buffer.Row16(src.top + r) + src.left, bytes);
    }
}

} // namespace plat
