#pragma once

// Sound playback on OpenAL Soft. One output device and context serve the
// whole process, opened when the first sound is loaded. A sound file is
// decoded once with libsndfile into an OpenAL buffer with a source of its
// own: Play restarts that source, so different sounds overlap and mix;
// Volume 0..100 is the source's gain and stays with the sound; IsPlaying is
// the source's state.
//
// Without a device (no sound server, no card) every sound is silent and
// IsPlaying is true for the sound's duration after Play, so callers that
// wait for a sound keep their pace; standard error gets one line saying so.
//
// Tests replace the factory that OpenAsSound uses with one that makes
// recording fakes.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace fw {

class Sound {
public:
    virtual ~Sound() = default;
    virtual void Play() = 0;
    virtual bool IsPlaying() = 0;
    virtual void Stop() = 0;
    int Volume() const { return m_volume; }
    // Clamped to 0..100.
    void setVolume(int volume);

protected:
    virtual void volumeChanged() {}

private:
    int m_volume = 100;
};

// A sound file decoded to 16-bit PCM, interleaved, one or two channels.
struct DecodedSound {
    std::vector<std::int16_t> samples;
    int channels = 0;
    int sampleRate = 0;

    std::int64_t frames() const { return channels ? std::int64_t(samples.size()) / channels : 0; }
    double durationMs() const { return sampleRate ? 1000.0 * double(frames()) / sampleRate : 0.0; }
};

// Decodes a sound file (WAV or any other format libsndfile reads); nothing
// when it is missing, not a sound, truncated before its first sample or
// empty, and then why, when asked, says which in a few words. More than two
// channels are mixed down to one.
std::optional<DecodedSound> decodeSoundFile(const QString& path, QString* why = nullptr);

// Opens a sound file with the current factory; nullptr when unreadable, and
// then why, when asked, gets the reason.
std::shared_ptr<Sound> openSound(const QString& path, QString* why = nullptr);

using SoundFactory = std::function<std::shared_ptr<Sound>(const QString& path)>;
// Replaces the factory (an empty one restores the device backend); returns
// the old one.
SoundFactory setSoundFactory(SoundFactory factory);

// The device backend: decodes the file, and gives it a buffer and a source
// on the process's output device when there is one; nullptr, and why when
// asked, when the file cannot be decoded or the device refuses it.
std::shared_ptr<Sound> openDeviceSound(const QString& path, QString* why = nullptr);

// Whether the process's output device is open and connected; opens it on the
// first call.
bool soundDeviceAvailable();

} // namespace fw
