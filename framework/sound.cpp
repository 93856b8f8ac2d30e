#include "framework/sound.h"

#include "framework/core/clock.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtGlobal>

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace fw {
namespace {

SoundFactory& factory()
{
    static SoundFactory f;
    return f;
}

// OpenAL Soft's settings for this process, read from a file of our own that
// is added after the system's and the user's: the output buffer, no
// head-related filtering, and no sound server started on our behalf.
// Measured on PulseAudio here, with every choice playing side by side on a
// machine loaded past its cores (load 12-16), underruns in a minute, and the
// median from key to first digit heard on a quiet machine: four periods of
// 512 frames (46 ms) 16, 15 and 0 underruns, 61 ms; eight periods of 512
// (93 ms) 0, 1 and 0, 83 ms. Six periods of 512 still ran dry (0-8), and so
// did the library's default of three of 1024 (0-7). The mixing thread stays
// at normal priority: its real-time priority (granted to root only; a user's
// program gets none from this library) showed no fewer underruns, rather
// more.
constexpr char kOpenAlSettings[] =
    "[general]\n"
    "period_size = 512\n"
    "periods = 8\n"
    "rt-prio = 0\n"
    "hrtf = false\n"
    "[pulse]\n"
    "spawn-server = false\n";

// Standard error goes to /dev/null while it lives: the sound libraries that
// OpenAL Soft tries in turn (ALSA, PulseAudio) print their own reasons for
// failing straight to it.
class QuietStandardError {
public:
    QuietStandardError()
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~QuietStandardError()
    {
        std::fflush(stderr);
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int m_saved = -1;
};

// The process's output device and context. A sound holds it while it has a
// buffer and a source on it, so the device closes only after the last one.
class Output {
public:
    static std::shared_ptr<Output> shared()
    {
        static std::shared_ptr<Output> output = std::make_shared<Output>();
        return output;
    }

    Output()
    {
        // The library reads its settings and its log level when it is first
        // used; its own messages stay off the terminal.
        qputenv("ALSOFT_LOGLEVEL", "0");
        QTemporaryDir dir;
        if (dir.isValid()) {
            QFile conf(dir.filePath(QStringLiteral("alsoft.conf")));
            if (conf.open(QIODevice::WriteOnly) && conf.write(kOpenAlSettings) == qint64(sizeof kOpenAlSettings - 1)) {
                conf.close();
                qputenv("ALSOFT_CONF", QFile::encodeName(conf.fileName()));
            }
        }
        open();
        qunsetenv("ALSOFT_CONF");
        if (!m_context)
            std::fputs("Quorvel: no sound device could be opened; the cue sounds and the spoken digits are silent.\n",
                       stderr);
    }

    ~Output()
    {
        QuietStandardError quiet;
        if (m_context) {
            alcMakeContextCurrent(nullptr);
            alcDestroyContext(m_context);
        }
        if (m_device)
            alcCloseDevice(m_device);
    }

    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Open and still connected. A device lost during the run (the sound
    // server went away) is not used again: the sounds fall back to silence
    // with their durations, and the terminal is told once.
    bool live()
    {
        if (!m_context || m_lost)
            return false;
        ALCint connected = ALC_TRUE;
        if (alcIsExtensionPresent(m_device, "ALC_EXT_disconnect"))
            alcGetIntegerv(m_device, ALC_CONNECTED, 1, &connected);
        if (connected != ALC_TRUE) {
            m_lost = true;
            std::fputs("Quorvel: the sound device was lost; the cue sounds and the spoken digits are silent.\n",
                       stderr);
        }
        return !m_lost;
    }

private:
    void open()
    {
        QuietStandardError quiet;
        m_device = alcOpenDevice(nullptr);
        if (!m_device)
            return;
        m_context = alcCreateContext(m_device, nullptr);
        if (m_context && alcMakeContextCurrent(m_context))
            return;
        if (m_context)
            alcDestroyContext(m_context);
        m_context = nullptr;
        alcCloseDevice(m_device);
        m_device = nullptr;
    }

    ALCdevice* m_device = nullptr;
    ALCcontext* m_context = nullptr;
    bool m_lost = false;
};

class DeviceSound : public Sound {
public:
    DeviceSound(double durationMs, std::shared_ptr<Output> output, ALuint buffer, ALuint source)
        : m_durationMs(durationMs), m_output(std::move(output)), m_buffer(buffer), m_source(source)
    {
    }

    ~DeviceSound() override
    {
        if (m_source) {
            alSourceStop(m_source);
            alDeleteSources(1, &m_source);
            alDeleteBuffers(1, &m_buffer);
        }
    }

    DeviceSound(const DeviceSound&) = delete;
    DeviceSound& operator=(const DeviceSound&) = delete;

    void Play() override
    {
        m_startUs = Microseconds();
        m_started = true;
        if (onDevice()) {
            alSourcef(m_source, AL_GAIN, float(Volume()) / 100.0f);
            alSourcePlay(m_source);  // from the start, also when it plays
        }
    }

    bool IsPlaying() override
    {
        if (!m_started)
            return false;
        const double elapsedMs = (Microseconds() - m_startUs) / 1000.0;
        if (!onDevice())
            return elapsedMs < m_durationMs;
        ALint state = AL_STOPPED;
        alGetSourcei(m_source, AL_SOURCE_STATE, &state);
        // A source that the device never finishes (it stalled) does not hold
        // its callers for long past the sound's own length.
        if (state == AL_PLAYING && elapsedMs > m_durationMs + kStallMarginMs) {
            alSourceStop(m_source);
            state = AL_STOPPED;
        }
        if (state != AL_PLAYING)
            m_started = false;
        return state == AL_PLAYING;
    }

    void Stop() override
    {
        m_started = false;
        if (m_source)
            alSourceStop(m_source);
    }

protected:
    void volumeChanged() override
    {
        if (onDevice())
            alSourcef(m_source, AL_GAIN, float(Volume()) / 100.0f);
    }

private:
    static constexpr double kStallMarginMs = 2000.0;

    bool onDevice() { return m_source && m_output->live(); }

    double m_durationMs;
    std::shared_ptr<Output> m_output;
    ALuint m_buffer = 0;
    ALuint m_source = 0;
    double m_startUs = 0.0;
    bool m_started = false;
};

// A buffer and a source for the decoded sound on the output device; false
// (and nothing left behind) when the device refuses them.
bool upload(const DecodedSound& sound, ALuint* buffer, ALuint* source)
{
    alGetError();
    alGenBuffers(1, buffer);
    if (alGetError() != AL_NO_ERROR)
        return false;
    alBufferData(*buffer, sound.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, sound.samples.data(),
                 ALsizei(sound.samples.size() * sizeof(std::int16_t)), sound.sampleRate);
    if (alGetError() == AL_NO_ERROR) {
        alGenSources(1, source);
        if (alGetError() == AL_NO_ERROR) {
            // Heard as recorded: no position, distance or direction effects.
            alSourcei(*source, AL_SOURCE_RELATIVE, AL_TRUE);
            alSource3f(*source, AL_POSITION, 0.0f, 0.0f, 0.0f);
            alSourcef(*source, AL_ROLLOFF_FACTOR, 0.0f);
            alSourcei(*source, AL_BUFFER, ALint(*buffer));
            if (alGetError() == AL_NO_ERROR)
                return true;
            alDeleteSources(1, source);
        }
    }
    alDeleteBuffers(1, buffer);
    *buffer = *source = 0;
    return false;
}

} // namespace

void Sound::setVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 100);
    volumeChanged();
}

std::optional<DecodedSound> decodeSoundFile(const QString& path, QString* why)
{
    QString ignored;
    if (!why)
        why = &ignored;
    const QFileInfo entry(path);
    if (!entry.exists()) {
        *why = QStringLiteral("it is missing");
        return std::nullopt;
    }
    if (!entry.isFile()) {
        *why = QStringLiteral("it is not a file");
        return std::nullopt;
    }
    if (entry.size() == 0) {
        *why = QStringLiteral("it is empty");
        return std::nullopt;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file) {
        *why = QStringLiteral("it is not a sound file that can be read (%1)")
                   .arg(QString::fromUtf8(sf_strerror(nullptr)).trimmed());
        return std::nullopt;
    }
    // Rates outside what any sound card plays are a damaged header.
    if (info.channels < 1 || info.samplerate < 1000 || info.samplerate > 384000) {
        *why = info.channels < 1 ? QStringLiteral("its header gives %1 channels").arg(info.channels)
                                 : QStringLiteral("its header gives a sample rate of %1 Hz").arg(info.samplerate);
        sf_close(file);
        return std::nullopt;
    }
    DecodedSound out;
    out.sampleRate = info.samplerate;
    out.channels = info.channels <= 2 ? info.channels : 1;
    // Read in blocks: the header's frame count is not trusted for the size.
    std::vector<std::int16_t> block(std::size_t(4096) * std::size_t(info.channels));
    for (;;) {
        const sf_count_t got = sf_readf_short(file, block.data(), 4096);
        if (got <= 0)
            break;
        if (info.channels <= 2) {
            out.samples.insert(out.samples.end(), block.begin(), block.begin() + got * info.channels);
            continue;
        }
        for (sf_count_t f = 0; f < got; ++f) {
            long sum = 0;
            for (int c = 0; c < info.channels; ++c)
                sum += block[std::size_t(f * info.channels + c)];
            out.samples.push_back(std::int16_t(sum / info.channels));
        }
    }
    sf_close(file);
    if (out.samples.empty()) {
        *why = QStringLiteral("it holds no sound after its header");
        return std::nullopt;
    }
    return out;
}

std::shared_ptr<Sound> openDeviceSound(const QString& path, QString* why)
{
    const std::optional<DecodedSound> decoded = decodeSoundFile(path, why);
    if (!decoded)
        return nullptr;
    std::shared_ptr<Output> output = Output::shared();
    ALuint buffer = 0, source = 0;
    if (output->live() && !upload(*decoded, &buffer, &source)) {
        if (why)
            *why = QStringLiteral("the sound device refused it");
        return nullptr;
    }
    return std::make_shared<DeviceSound>(decoded->durationMs(), std::move(output), buffer, source);
}

bool soundDeviceAvailable()
{
    return Output::shared()->live();
}

std::shared_ptr<Sound> openSound(const QString& path, QString* why)
{
    if (!factory())
        return openDeviceSound(path, why);
    std::shared_ptr<Sound> sound = factory()(path);
    if (!sound && why)
        *why = QStringLiteral("it could not be opened as a sound");
    return sound;
}

SoundFactory setSoundFactory(SoundFactory f)
{
    auto old = std::move(factory());
    factory() = std::move(f);
    return old;
}

} // namespace fw
