#include "framework/sound.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSoundEffect>
#include <QUrl>
#include <QtEndian>

#include <algorithm>

namespace fw {
namespace {

SoundFactory& factory()
{
    static SoundFactory f;
    return f;
}

class QtSound : public Sound {
public:
    QtSound(const QString& path, double durationMs) : m_path(path), m_durationMs(durationMs) {}

    void Play() override
    {
        if (!m_effect) {
            m_effect = std::make_unique<QSoundEffect>();
            m_effect->setSource(QUrl::fromLocalFile(m_path));
        }
        m_effect->setVolume(Volume() / 100.0);
        m_effect->stop();
        m_effect->play();
        m_clock.start();
    }

    bool IsPlaying() override
    {
        // The device's own flag cannot be trusted without an output device:
        // it then stays set for ever. The sound plays for its duration.
        return m_clock.isValid() && double(m_clock.elapsed()) < m_durationMs;
    }

    void Stop() override
    {
        if (m_effect)
            m_effect->stop();
        m_clock.invalidate();
    }

protected:
    void volumeChanged() override
    {
        if (m_effect)
            m_effect->setVolume(Volume() / 100.0);
    }

private:
    QString m_path;
    double m_durationMs;
    std::unique_ptr<QSoundEffect> m_effect;
    QElapsedTimer m_clock;
};

} // namespace

void Sound::setVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 100);
    volumeChanged();
}

double wavDurationMs(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = f.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return -1;
    quint32 byteRate = 0;
    quint16 format = 0;
    while (!f.atEnd()) {
        const QByteArray chunk = f.read(8);
        if (chunk.size() < 8)
            return -1;
        const quint32 size = qFromLittleEndian<quint32>(chunk.constData() + 4);
        const QByteArray id = chunk.left(4);
        if (id == "fmt ") {
            const QByteArray fmt = f.read(qMin<quint32>(size, 64));
            if (fmt.size() < 16)
                return -1;
            format = qFromLittleEndian<quint16>(fmt.constData());
            byteRate = qFromLittleEndian<quint32>(fmt.constData() + 8);
            if (size > 64 && !f.seek(f.pos() + (size - 64)))
                return -1;
        } else if (id == "data") {
            // PCM (1) or its extensible form; a byte rate is needed for the length.
            if ((format != 1 && format != 0xFFFE) || byteRate == 0)
                return -1;
            const qint64 avail = f.size() - f.pos();
            return 1000.0 * double(qMin<qint64>(size, avail)) / double(byteRate);
        } else if (!f.seek(f.pos() + size + (size & 1))) {
            return -1;
        }
        if (id == "fmt " && (size & 1))
            f.seek(f.pos() + 1);
    }
    return -1;
}

std::shared_ptr<Sound> openQtSound(const QString& path)
{
    const double ms = wavDurationMs(path);
    if (ms < 0)
        return nullptr;
    return std::make_shared<QtSound>(path, ms);
}

std::shared_ptr<Sound> openSound(const QString& path)
{
    return factory() ? factory()(path) : openQtSound(path);
}

SoundFactory setSoundFactory(SoundFactory f)
{
    auto old = std::move(factory());
    factory() = std::move(f);
    return old;
}

} // namespace fw
