#include "platform/video.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "platform/log.h"
#include "platform/messages.h"
#include "platform/threads.h"

namespace plat {

namespace {

std::string AvErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

AVPixelFormat ToAvFormat(PixelFormat format)
{
    switch (format) {
    case PixelFormat::RGB565:
        return AV_PIX_FMT_RGB565LE;
    case PixelFormat::RGB555:
        return AV_PIX_FMT_RGB555LE;
    case PixelFormat::ARGB8888:
        return AV_PIX_FMT_BGRA; // little-endian 0xAARRGGBB
    default:
        return AV_PIX_FMT_NONE;
    }
}

// The decoder's own console messages are silenced: failures reach the game's log through LogError.
void QuietFfmpegLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

} // namespace

bool IsPlayableFrameRate(double framesPerSecond)
{
    return framesPerSecond == 0.0 || (framesPerSecond >= kFilmMinFrameRate && framesPerSecond <= 1000.0);
}

bool IsPlayableSoundRate(int samplesPerSecond)
{
    return samplesPerSecond >= kFilmMinSoundRate && samplesPerSecond <= kFilmMaxSoundRate;
}

bool IsPlausiblePictureTime(std::int64_t previousMs, std::int64_t timeMs)
{
    return timeMs >= 0 && previousMs >= 0 && timeMs - previousMs <= kFilmMaxPictureGapMs;
}

// ---------------------------------------------------------------------------------------------
// Decoder

struct VideoDecoder::Impl {
    std::string path;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    int videoStream = -1;
    int audioStream = -1;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    AVFrame* audioFrame = nullptr;
    int outWidth = 0;
    int outHeight = 0;
    PixelFormat outFormat = PixelFormat::RGB565;
    bool inputEnded = false;
    bool reportedAudioError = false;
    std::int64_t picturesOut = 0;
    std::int64_t lastPictureMs = 0;
    std::vector<std::int16_t> sound;

    ~Impl() { Close(); }

    void Close()
    {
        sws_freeContext(scaler);
        scaler = nullptr;
        swr_free(&resampler);
        av_frame_free(&frame);
        av_frame_free(&audioFrame);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        avformat_close_input(&format);
        videoStream = audioStream = -1;
        inputEnded = false;
        reportedAudioError = false;
        picturesOut = 0;
        lastPictureMs = 0;
        sound.clear();
    }

    bool OpenCodec(int streamIndex, AVCodecContext*& ctx)
    {
        AVStream* stream = format->streams[streamIndex];
        const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
        if (!codec)
            return false;
        ctx = avcodec_alloc_context3(codec);
        if (!ctx)
            return false;
        if (avcodec_parameters_to_context(ctx, stream->codecpar) < 0 || avcodec_open2(ctx, codec, nullptr) < 0) {
            avcodec_free_context(&ctx);
            return false;
        }
        return true;
    }

    bool OpenResampler()
    {
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, kVideoAudioChannels);
        AVChannelLayout inLayout;
        if (audio->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || audio->ch_layout.nb_channels <= 0)
            av_channel_layout_default(&inLayout, audio->ch_layout.nb_channels > 0 ? audio->ch_layout.nb_channels : 1);
        else
            av_channel_layout_copy(&inLayout, &audio->ch_layout);
        const int result = swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_S16, kVideoAudioRate, &inLayout,
                                               audio->sample_fmt, audio->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        return result >= 0 && resampler && swr_init(resampler) >= 0;
    }

    // Resamples one decoded frame (or, with null, what the resampler still holds) onto the sound.
    void Resample(const AVFrame* in)
    {
        const int inSamples = in ? in->nb_samples : 0;
        const int capacity = swr_get_out_samples(resampler, inSamples);
        if (capacity <= 0)
            return;
        const std::size_t oldSize = sound.size();
        sound.resize(oldSize + static_cast<std::size_t>(capacity) * kVideoAudioChannels);
        std::uint8_t* out = reinterpret_cast<std::uint8_t*>(sound.data() + oldSize);
        const int made = swr_convert(resampler, &out, capacity, in ? const_cast<const std::uint8_t**>(in->extended_data) : nullptr,
                                     inSamples);
        sound.resize(oldSize + static_cast<std::size_t>(made > 0 ? made : 0) * kVideoAudioChannels);
    }

    void DrainAudio()
    {
        while (avcodec_receive_frame(audio, audioFrame) == 0) {
            Resample(audioFrame);
            av_frame_unref(audioFrame);
        }
    }

    void FeedAudio(const AVPacket* pkt)
    {
        const int result = avcodec_send_packet(audio, pkt);
        if (result < 0 && result != AVERROR_EOF && !reportedAudioError) {
            // A broken sound packet is dropped; the pictures go on.
            plat::LogError2("Video: bad sound packet in ", path);
            reportedAudioError = true;
        }
        DrainAudio();
        if (!pkt)
            Resample(nullptr);
    }

    bool Convert(PixelBuffer& out)
    {
        if (out.Width() != outWidth || out.Height() != outHeight || out.Format() != outFormat)
            out = PixelBuffer(outWidth, outHeight, outFormat);
        scaler = sws_getCachedContext(scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                      outWidth, outHeight, ToAvFormat(outFormat), SWS_BILINEAR, nullptr, nullptr,
                                      nullptr);
        if (!scaler) {
            plat::LogError2("Video: cannot scale the pictures of ", path);
            return false;
        }
        std::uint8_t* dst[4] = {out.Bits(), nullptr, nullptr, nullptr};
        int dstPitch[4] = {out.Pitch(), 0, 0, 0};
        sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, dst, dstPitch);
        return true;
    }

    std::int64_t PictureTimeMs()
    {
        const AVStream* stream = format->streams[videoStream];
        std::int64_t pts = frame->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE) {
            const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
            if (rate.num <= 0 || rate.den <= 0)
                return picturesOut * 40;
            return av_rescale_q(picturesOut, av_inv_q(rate), AVRational{1, 1000});
        }
        if (stream->start_time != AV_NOPTS_VALUE)
            pts -= stream->start_time;
        const std::int64_t ms = av_rescale_q(pts, stream->time_base, AVRational{1, 1000});
        return ms > 0 ? ms : 0;
    }
};

VideoDecoder::VideoDecoder() : m(std::make_unique<Impl>()) {}
VideoDecoder::~VideoDecoder() = default;

bool VideoDecoder::Open(const std::string& hostPath)
{
    QuietFfmpegLog();
    Close();
    m->path = hostPath;
    // The films are Ogg files whatever their extension; nothing else is probed for.
    const AVInputFormat* ogg = av_find_input_format("ogg");
    int result = avformat_open_input(&m->format, hostPath.c_str(), ogg, nullptr);
    if (result < 0) {
        plat::LogError2("Video: cannot open ", hostPath + " (" + AvErrorText(result) + ")");
        m->format = nullptr;
        return false;
    }
    result = avformat_find_stream_info(m->format, nullptr);
    if (result < 0) {
        plat::LogError2("Video: cannot read the streams of ", hostPath);
        Close();
        return false;
    }
    m->videoStream = av_find_best_stream(m->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m->videoStream < 0 || !m->OpenCodec(m->videoStream, m->video) || m->video->width <= 0 ||
        m->video->height <= 0) {
        plat::LogError2("Video: no playable picture stream in ", hostPath);
        Close();
        return false;
    }
    if (!IsPlayableFrameRate(FrameRate())) {
        plat::LogError2("Video: frame rate out of range in ", hostPath);
        Close();
        return false;
    }
    m->audioStream = av_find_best_stream(m->format, AVMEDIA_TYPE_AUDIO, -1, m->videoStream, nullptr, 0);
    if (m->audioStream >= 0) {
        if (!m->OpenCodec(m->audioStream, m->audio) || !IsPlayableSoundRate(m->audio->sample_rate) ||
            !m->OpenResampler()) {
            // A film whose sound cannot be decoded still shows its pictures.
            plat::LogError2("Video: sound of the film not playable: ", hostPath);
            swr_free(&m->resampler);
            avcodec_free_context(&m->audio);
            m->audioStream = -1;
        }
    }
    m->packet = av_packet_alloc();
    m->frame = av_frame_alloc();
    m->audioFrame = av_frame_alloc();
    if (!m->packet || !m->frame || !m->audioFrame) {
        plat::LogError2("Video: out of memory opening ", hostPath);
        Close();
        return false;
    }
    m->outWidth = m->video->width;
    m->outHeight = m->video->height;
    m->outFormat = PixelFormat::RGB565;
    return true;
}

void VideoDecoder::Close()
{
    m->Close();
}

bool VideoDecoder::IsOpen() const
{
    return m->format != nullptr;
}

int VideoDecoder::Width() const
{
    return m->video ? m->video->width : 0;
}

int VideoDecoder::Height() const
{
    return m->video ? m->video->height : 0;
}

double VideoDecoder::FrameRate() const
{
    if (!m->format || m->videoStream < 0)
        return 0.0;
    const AVStream* stream = m->format->streams[m->videoStream];
    const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    return rate.den > 0 ? av_q2d(rate) : 0.0;
}

bool VideoDecoder::HasAudio() const
{
    return m->audio != nullptr;
}

bool VideoDecoder::SetOutput(int width, int height, PixelFormat format)
{
    // Bounded so that a picture buffer can never be asked for more than a screen's worth several times over.
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192 || ToAvFormat(format) == AV_PIX_FMT_NONE)
        return false;
    m->outWidth = width;
    m->outHeight = height;
    m->outFormat = format;
    return true;
}

int VideoDecoder::DecodeNext(PixelBuffer& out, std::int64_t& timeMs)
{
    if (!IsOpen())
        return -1;
    for (;;) {
        int result = avcodec_receive_frame(m->video, m->frame);
        if (result == 0) {
            timeMs = m->PictureTimeMs();
            if (!IsPlausiblePictureTime(m->lastPictureMs, timeMs)) {
                av_frame_unref(m->frame);
                plat::LogError2("Video: picture time out of order in ", m->path);
                return -1;
            }
            m->lastPictureMs = timeMs;
            const bool converted = m->Convert(out);
            av_frame_unref(m->frame);
            if (!converted)
                return -1;
            ++m->picturesOut;
            return 1;
        }
        if (result == AVERROR_EOF)
            return 0;
        if (result != AVERROR(EAGAIN)) {
            plat::LogError2("Video: cannot decode a picture of ", m->path + " (" + AvErrorText(result) + ")");
            return -1;
        }
        if (m->inputEnded)
            return 0;
        result = av_read_frame(m->format, m->packet);
        if (result < 0) {
            if (result != AVERROR_EOF && !avio_feof(m->format->pb)) {
                plat::LogError2("Video: cannot read ", m->path + " (" + AvErrorText(result) + ")");
                return -1;
            }
            m->inputEnded = true;
            avcodec_send_packet(m->video, nullptr);
            if (m->audio)
                m->FeedAudio(nullptr);
            continue;
        }
        if (m->packet->stream_index == m->videoStream) {
            result = avcodec_send_packet(m->video, m->packet);
            av_packet_unref(m->packet);
            if (result < 0 && result != AVERROR(EAGAIN)) {
                plat::LogError2("Video: bad picture packet in ", m->path + " (" + AvErrorText(result) + ")");
                return -1;
            }
        } else if (m->audio && m->packet->stream_index == m->audioStream) {
            m->FeedAudio(m->packet);
            av_packet_unref(m->packet);
        } else {
            av_packet_unref(m->packet);
        }
    }
}

void VideoDecoder::TakeAudio(std::vector<std::int16_t>& out)
{
    out.insert(out.end(), m->sound.begin(), m->sound.end());
    m->sound.clear();
}

// ---------------------------------------------------------------------------------------------
// Player

struct VideoPlayer::Impl {
    VideoDecoder decoder;
    AudioSink audioSink;
    std::uint32_t notifyMessage = MSG_VIDEO_EVENT;
    double frameRate = 0.0;

    std::thread thread;
    std::mutex stopMutex;
    std::condition_variable stopCond;
    bool stopRequested = false;

    std::mutex pictureMutex;
    PixelBuffer duePicture;
    bool pictureWaiting = false;
    Event pictureReady{false, false};
    std::atomic<std::uint32_t> decoded{0};

    std::mutex eventMutex;
    std::deque<VideoEvent> events;

    void Queue(VideoEvent code)
    {
        {
            std::lock_guard lock(eventMutex);
            events.push_back(code);
        }
        if (notifyMessage != 0)
            PostAppMessage(notifyMessage, static_cast<std::uintptr_t>(code), 0);
    }

    // Sleeps until the given time; false when a stop was requested first.
    bool WaitUntil(std::chrono::steady_clock::time_point when)
    {
        std::unique_lock lock(stopMutex);
        return !stopCond.wait_until(lock, when, [this] { return stopRequested; });
    }

    bool Stopping()
    {
        std::lock_guard lock(stopMutex);
        return stopRequested;
    }

    void Play()
    {
        const auto start = std::chrono::steady_clock::now();
        PixelBuffer picture;
        std::vector<std::int16_t> sound;
        std::int64_t lastMs = 0;
        for (;;) {
            if (Stopping())
                return;
            std::int64_t timeMs = 0;
            const int result = decoder.DecodeNext(picture, timeMs);
            decoder.TakeAudio(sound);
            if (!sound.empty()) {
                if (audioSink)
                    audioSink(sound.data(), sound.size() / kVideoAudioChannels);
                sound.clear();
            }
            if (result < 0) {
                Queue(VideoEvent::ErrorAbort);
                return;
            }
            if (result == 0) {
                // The last picture stays on screen for its own duration before the film counts as over.
                const std::int64_t hold = IsPlayableFrameRate(frameRate) && frameRate > 0.0
                                              ? static_cast<std::int64_t>(1000.0 / frameRate)
                                              : 40;
                if (WaitUntil(start + std::chrono::milliseconds(lastMs + hold)))
                    Queue(VideoEvent::Complete);
                return;
            }
            lastMs = timeMs;
            if (!WaitUntil(start + std::chrono::milliseconds(timeMs)))
                return;
            {
                std::lock_guard lock(pictureMutex);
                std::swap(duePicture, picture);
                pictureWaiting = true;
            }
            decoded.fetch_add(1, std::memory_order_relaxed);
            pictureReady.Set();
        }
    }

    void StopThread()
    {
        {
            std::lock_guard lock(stopMutex);
            stopRequested = true;
        }
        stopCond.notify_all();
        if (thread.joinable())
            thread.join();
        std::lock_guard lock(stopMutex);
        stopRequested = false;
    }
};

VideoPlayer::VideoPlayer() : m(std::make_unique<Impl>()) {}

VideoPlayer::~VideoPlayer()
{
    m->StopThread();
}

bool VideoPlayer::Open(const std::string& hostPath)
{
    Stop();
    if (!m->decoder.Open(hostPath))
        return false;
    m->frameRate = m->decoder.FrameRate();
    return true;
}

bool VideoPlayer::IsOpen() const
{
    return m->decoder.IsOpen();
}

int VideoPlayer::FilmWidth() const
{
    return m->decoder.Width();
}

int VideoPlayer::FilmHeight() const
{
    return m->decoder.Height();
}

bool VideoPlayer::SetPictureSize(int width, int height, PixelFormat format)
{
    if (m->thread.joinable())
        return false;
    return m->decoder.SetOutput(width, height, format);
}

void VideoPlayer::SetAudioSink(AudioSink sink)
{
    m->audioSink = std::move(sink);
}

void VideoPlayer::SetNotifyMessage(std::uint32_t message)
{
    m->notifyMessage = message;
}

bool VideoPlayer::Run()
{
    if (!m->decoder.IsOpen() || m->thread.joinable())
        return false;
    m->decoded = 0;
    {
        std::lock_guard lock(m->pictureMutex);
        m->pictureWaiting = false;
    }
    m->thread = std::thread([this] { m->Play(); });
    return true;
}

void VideoPlayer::Stop()
{
    m->StopThread();
    m->decoder.Close();
    std::lock_guard lock(m->pictureMutex);
    m->pictureWaiting = false;
}

bool VideoPlayer::IsRunning() const
{
    return m->thread.joinable();
}

bool VideoPlayer::ShowPicture(const PictureSink& sink, std::uint32_t waitMs)
{
    auto takeWaiting = [&] {
        std::lock_guard lock(m->pictureMutex);
        if (!m->pictureWaiting)
            return false;
        m->pictureWaiting = false;
        if (sink)
            sink(m->duePicture);
        return true;
    };
    if (takeWaiting())
        return true;
    return waitMs != 0 && m->pictureReady.Wait(waitMs) && takeWaiting();
}

bool VideoPlayer::GetEvent(VideoEvent& code)
{
    std::lock_guard lock(m->eventMutex);
    if (m->events.empty())
        return false;
    code = m->events.front();
    m->events.pop_front();
    return true;
}

void VideoPlayer::QueueEvent(VideoEvent code)
{
    m->Queue(code);
}

std::uint32_t VideoPlayer::PicturesDecoded() const
{
    return m->decoded.load(std::memory_order_relaxed);
}

} // namespace plat
