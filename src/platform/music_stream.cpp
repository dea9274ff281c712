#include "platform/music_stream.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>

namespace plat {

// An Ogg Vorbis file decoded on the mixer's thread as the stream plays.
class MusicSource : public PcmSource {
public:
    ~MusicSource() override
    {
        if (m_Open)
            ov_clear(&m_File);
    }

    bool Open(const std::string& hostPath)
    {
        if (ov_fopen(hostPath.c_str(), &m_File) != 0)
            return false;
        m_Open = true;
        const vorbis_info* info = ov_info(&m_File, -1);
        if (!info || info->channels < 1 || info->channels > 2 || info->rate < static_cast<long>(kMinSampleRate) ||
            info->rate > static_cast<long>(kMaxSampleRate))
            return false;
        m_Format.channels = static_cast<std::uint16_t>(info->channels);
        m_Format.sampleRate = static_cast<std::uint32_t>(info->rate);
        m_Format.bitsPerSample = 16;
        return true;
    }

    PcmFormat Format() const override { return m_Format; }

    std::size_t Read(std::int16_t* out, std::size_t frameCount) override
    {
        const std::size_t frameBytes = m_Format.BytesPerFrame();
        std::size_t done = 0;
        int holes = 0;
        while (done < frameCount && !m_Ended) {
            char* dst = reinterpret_cast<char*>(out + done * m_Format.channels);
            const int want = static_cast<int>(std::min<std::size_t>((frameCount - done) * frameBytes, 1u << 16));
            int section = 0;
            const long got = ov_read(&m_File, dst, want, 0 /* little-endian */, 2, 1, &section);
            if (got == OV_HOLE && ++holes < 64)
                continue; // a damaged page: decoding goes on after it
            if (got <= 0) {
                m_Ended = true;
                break;
            }
            // A chained stream may change its layout; what follows such a change is not played.
            const vorbis_info* info = ov_info(&m_File, section);
            if (!info || info->channels != m_Format.channels) {
                m_Ended = true;
                break;
            }
            done += static_cast<std::size_t>(got) / frameBytes;
        }
        return done;
    }

private:
    OggVorbis_File m_File{};
    bool m_Open = false;
    bool m_Ended = false;
    PcmFormat m_Format;
};

MusicDevice::~MusicDevice() { AudioClose(); }

std::shared_ptr<MusicDevice> OpenMusicDevice(const char*, const char*)
{
    if (!AudioOpen())
        return nullptr;
    return std::shared_ptr<MusicDevice>(new MusicDevice());
}

std::shared_ptr<MusicSource> OpenMusicSource(const std::string& hostPath)
{
    auto source = std::make_shared<MusicSource>();
    if (!source->Open(hostPath))
        return nullptr;
    return source;
}

std::shared_ptr<MusicSound> OpenMusicSound(const std::shared_ptr<MusicDevice>& device,
                                           const std::shared_ptr<MusicSource>& source, bool)
{
    if (!device || !source)
        return nullptr;
    auto stream = AudioStream::Open(source);
    if (!stream)
        return nullptr;
    auto sound = std::shared_ptr<MusicSound>(new MusicSound());
    sound->m_Device = device;
    sound->m_Stream = std::move(stream);
    return sound;
}

void MusicSound::Play() { m_Stream->Play(); }
void MusicSound::Stop() { m_Stream->Stop(); }
bool MusicSound::IsPlaying() const { return m_Stream->IsPlaying(); }
void MusicSound::SetVolume(float volume) { m_Stream->SetGain(volume); }
float MusicSound::GetVolume() const { return m_Stream->GetGain(); }

} // namespace plat
