#include "platform/ogg_encode.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace plat {

namespace {

void AppendPage(const ogg_page& page, std::vector<std::uint8_t>& out)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

// Owns the libvorbis state so that every exit path clears it.
struct Encoder {
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state stream{};
    bool dspReady = false;
    bool streamReady = false;
    Encoder()
    {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~Encoder()
    {
        if (streamReady)
            ogg_stream_clear(&stream);
        if (dspReady) {
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
};

} // namespace

bool EncodeOggVorbis(std::span<const std::int16_t> interleaved, int channels, int sampleRate, float quality,
                     std::vector<std::uint8_t>& out)
{
    out.clear();
    if (channels < 1 || channels > 2 || sampleRate < 8000 || sampleRate > 192000)
        return false;
    Encoder e;
    if (vorbis_encode_init_vbr(&e.info, channels, sampleRate, quality) != 0)
        return false;
    vorbis_comment_add_tag(&e.comment, "ENCODER", "korvela-sampledata");
    if (vorbis_analysis_init(&e.dsp, &e.info) != 0)
        return false;
    vorbis_block_init(&e.dsp, &e.block);
    e.dspReady = true;
    // A fixed serial number keeps the generated files identical from run to run.
    ogg_stream_init(&e.stream, 0x4B6F7276);
    e.streamReady = true;

    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&e.dsp, &e.comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&e.stream, &header);
    ogg_stream_packetin(&e.stream, &headerComment);
    ogg_stream_packetin(&e.stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&e.stream, &page) != 0)
        AppendPage(page, out);

    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    constexpr std::size_t kChunk = 1024;
    std::size_t done = 0;
    bool eos = false;
    while (!eos) {
        const std::size_t n = std::min(kChunk, frames - done);
        if (n == 0) {
            vorbis_analysis_wrote(&e.dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&e.dsp, static_cast<int>(n));
            for (std::size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = interleaved[(done + i) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] / 32768.0f;
            vorbis_analysis_wrote(&e.dsp, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&e.dsp, &e.block) == 1) {
            vorbis_analysis(&e.block, nullptr);
            vorbis_bitrate_addblock(&e.block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&e.dsp, &packet) == 1) {
                ogg_stream_packetin(&e.stream, &packet);
                while (!eos && ogg_stream_pageout(&e.stream, &page) != 0) {
                    AppendPage(page, out);
                    eos = ogg_page_eos(&page) != 0;
                }
            }
        }
        if (n == 0 && !eos) {
            // Everything was handed over; flush what remains.
            while (ogg_stream_flush(&e.stream, &page) != 0) {
                AppendPage(page, out);
                eos = eos || ogg_page_eos(&page) != 0;
            }
            eos = true;
        }
    }
    return !out.empty();
}

} // namespace plat
