#pragma once

// Sound playback. Play returns at once; IsPlaying is true from Play until the
// sound's duration has passed, even on a machine with no audio output;
// Volume 0..100 stays with the sound. Tests replace the factory that
// OpenAsSound uses with one that makes recording fakes.

#include <QString>

#include <functional>
#include <memory>

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

// Duration in milliseconds of a PCM WAV file's data, or -1 when the file is
// not a readable WAV file.
double wavDurationMs(const QString& path);

// Opens a sound file with the current factory; nullptr when unreadable.
std::shared_ptr<Sound> openSound(const QString& path);

using SoundFactory = std::function<std::shared_ptr<Sound>(const QString& path)>;
// Replaces the factory (an empty one restores the Qt backend); returns the old.
SoundFactory setSoundFactory(SoundFactory factory);

// The Qt backend: QSoundEffect, made on the first Play.
std::shared_ptr<Sound> openQtSound(const QString& path);

} // namespace fw
