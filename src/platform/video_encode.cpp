#include "platform/video_encode.h"

#include <algorithm>
#include <cstdio>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "platform/log.h"

namespace plat {

namespace {

// Owns everything one encoding run allocates.
struct FilmWriter {
    std::string path;
    AVFormatContext* out = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    bool fileOpen = false;
    bool headerWritten = false;

    ~FilmWriter()
    {
        if (headerWritten)
            av_write_trailer(out);
        if (fileOpen)
            avio_closep(&out->pb);
        sws_freeContext(scaler);
        av_frame_free(&picture);
        av_frame_free(&sound);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        avformat_free_context(out);
    }

    bool Fail(const char* what)
    {
        plat::LogError2(std::string("EncodeFilm: ") + what + ": ", path);
        return false;
    }

    // Sends one frame (null flushes) and writes every packet the encoder gives back.
    bool Encode(AVCodecContext* ctx, AVStream* stream, AVFrame* frame)
    {
        if (avcodec_send_frame(ctx, frame) < 0)
            return Fail("encoder refused a frame");
        for (;;) {
            const int result = avcodec_receive_packet(ctx, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return true;
            if (result < 0)
                return Fail("encoding failed");
            av_packet_rescale_ts(packet, ctx->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(out, packet) < 0)
                return Fail("cannot write");
        }
    }
};

} // namespace

bool FilmEncodersAvailable()
{
    return avcodec_find_encoder_by_name("libtheora") != nullptr && avcodec_find_encoder_by_name("libvorbis") != nullptr;
}

bool EncodeFilm(const std::string& hostPath, const FilmParams& params, const FilmPictureFn& drawPicture,
                const FilmSoundFn& makeSound)
{
    av_log_set_level(AV_LOG_ERROR);
    const bool ok = [&]() -> bool {
        FilmWriter w;
        w.path = hostPath;
        if (params.width <= 0 || params.height <= 0 || params.framesPerSecond <= 0 || params.frameCount <= 0 || !drawPicture)
            return w.Fail("bad film description");
        const AVCodec* theora = avcodec_find_encoder_by_name("libtheora");
        const AVCodec* vorbis = params.audioRate > 0 ? avcodec_find_encoder_by_name("libvorbis") : nullptr;
        if (!theora || (params.audioRate > 0 && !vorbis))
            return w.Fail("no Theora or Vorbis encoder in this FFmpeg");
        if (avformat_alloc_output_context2(&w.out, nullptr, "ogg", hostPath.c_str()) < 0 || !w.out)
            return w.Fail("no Ogg writer");
        const bool globalHeader = (w.out->oformat->flags & AVFMT_GLOBALHEADER) != 0;

        w.video = avcodec_alloc_context3(theora);
        w.videoStream = avformat_new_stream(w.out, nullptr);
        if (!w.video || !w.videoStream)
            return w.Fail("out of memory");
        w.video->width = params.width;
        w.video->height = params.height;
        w.video->pix_fmt = AV_PIX_FMT_YUV420P;
        w.video->time_base = AVRational{1, params.framesPerSecond};
        w.video->framerate = AVRational{params.framesPerSecond, 1};
        w.video->gop_size = params.framesPerSecond;
        // High constant quality: the films are tiny and the tests compare decoded pixels with the drawing.
        w.video->flags |= AV_CODEC_FLAG_QSCALE;
        w.video->global_quality = 9 * FF_QP2LAMBDA;
        if (globalHeader)
            w.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(w.video, theora, nullptr) < 0)
            return w.Fail("cannot start the Theora encoder");
        w.videoStream->time_base = w.video->time_base;
        w.videoStream->avg_frame_rate = w.video->framerate;
        if (avcodec_parameters_from_context(w.videoStream->codecpar, w.video) < 0)
            return w.Fail("cannot describe the picture stream");

        if (vorbis) {
            w.audio = avcodec_alloc_context3(vorbis);
            w.audioStream = avformat_new_stream(w.out, nullptr);
            if (!w.audio || !w.audioStream)
                return w.Fail("out of memory");
            w.audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
            w.audio->sample_rate = params.audioRate;
            av_channel_layout_default(&w.audio->ch_layout, 1);
            w.audio->time_base = AVRational{1, params.audioRate};
            w.audio->bit_rate = 64000;
            if (globalHeader)
                w.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            if (avcodec_open2(w.audio, vorbis, nullptr) < 0)
                return w.Fail("cannot start the Vorbis encoder");
            w.audioStream->time_base = w.audio->time_base;
            if (avcodec_parameters_from_context(w.audioStream->codecpar, w.audio) < 0)
                return w.Fail("cannot describe the sound stream");
        }

        w.packet = av_packet_alloc();
        w.picture = av_frame_alloc();
        w.sound = av_frame_alloc();
        if (!w.packet || !w.picture || !w.sound)
            return w.Fail("out of memory");
        w.picture->format = AV_PIX_FMT_YUV420P;
        w.picture->width = params.width;
        w.picture->height = params.height;
        if (av_frame_get_buffer(w.picture, 0) < 0)
            return w.Fail("out of memory");
        const int soundFrame = w.audio ? (w.audio->frame_size > 0 ? w.audio->frame_size : 1024) : 0;
        if (w.audio) {
            w.sound->format = AV_SAMPLE_FMT_FLTP;
            w.sound->sample_rate = params.audioRate;
            w.sound->nb_samples = soundFrame;
            av_channel_layout_default(&w.sound->ch_layout, 1);
            if (av_frame_get_buffer(w.sound, 0) < 0)
                return w.Fail("out of memory");
        }
        w.scaler = sws_getContext(params.width, params.height, AV_PIX_FMT_RGB24, params.width, params.height,
                                  AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!w.scaler)
            return w.Fail("cannot convert pictures");

        if (avio_open(&w.out->pb, hostPath.c_str(), AVIO_FLAG_WRITE) < 0)
            return w.Fail("cannot create the file");
        w.fileOpen = true;
        if (avformat_write_header(w.out, nullptr) < 0)
            return w.Fail("cannot write the header");
        w.headerWritten = true;

        const int rgbPitch = params.width * 3;
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(rgbPitch) * params.height);
        const std::int64_t totalSamples =
            w.audio ? static_cast<std::int64_t>(params.frameCount) * params.audioRate / params.framesPerSecond : 0;
        int nextPicture = 0;
        std::int64_t nextSample = 0;
        bool good = true;
        while (good && (nextPicture < params.frameCount || nextSample < totalSamples)) {
            const bool pictureFirst =
                nextSample >= totalSamples ||
                (nextPicture < params.frameCount &&
                 av_compare_ts(nextPicture, w.video->time_base, nextSample, w.audio->time_base) <= 0);
            if (pictureFirst) {
                drawPicture(nextPicture, rgb.data(), rgbPitch);
                if (av_frame_make_writable(w.picture) < 0)
                    return w.Fail("out of memory");
                const std::uint8_t* src[1] = {rgb.data()};
                const int srcPitch[1] = {rgbPitch};
                sws_scale(w.scaler, src, srcPitch, 0, params.height, w.picture->data, w.picture->linesize);
                w.picture->pts = nextPicture++;
                good = w.Encode(w.video, w.videoStream, w.picture);
            } else {
                if (av_frame_make_writable(w.sound) < 0)
                    return w.Fail("out of memory");
                const int count = static_cast<int>(std::min<std::int64_t>(soundFrame, totalSamples - nextSample));
                float* samples = reinterpret_cast<float*>(w.sound->data[0]);
                for (int i = 0; i < count; ++i)
                    samples[i] = makeSound ? makeSound(nextSample + i) : 0.0f;
                w.sound->nb_samples = count;
                w.sound->pts = nextSample;
                nextSample += count;
                good = w.Encode(w.audio, w.audioStream, w.sound);
            }
        }
        if (good)
            good = w.Encode(w.video, w.videoStream, nullptr);
        if (good && w.audio)
            good = w.Encode(w.audio, w.audioStream, nullptr);
        if (good) {
            w.headerWritten = false;
            good = av_write_trailer(w.out) >= 0;
            if (!good)
                w.Fail("cannot finish the file");
        }
        if (good && avio_closep(&w.out->pb) < 0) {
            w.fileOpen = false;
            good = w.Fail("cannot close the file");
        }
        if (good)
            w.fileOpen = false;
        return good;
    }();
    if (!ok)
        std::remove(hostPath.c_str());
    return ok;
}

} // namespace plat
