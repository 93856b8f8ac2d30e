#pragma once

// A recording stand-in for fw::Sound, and a factory that makes them, for
// tests that must not depend on an audio device or on real time.
//
// FakeSound: Play records the call and the volume at that moment; IsPlaying
// is true from Play until the duration has passed on fw::Microseconds (the
// framework's replaceable clock, so a fw::FakeClock drives it); Stop ends it.
//
// FakeSoundFactory: install() puts it behind fw::openSound (and so behind
// FolderItem::OpenAsSound); each opened file gives a FakeSound whose duration
// comes from durationFor(file name), or nullptr for names marked missing.
// Every Play of any of its sounds is appended to one shared log of file
// names, so a test can check the order of an announcement. The destructor
// puts the previous factory back.

#include "framework/core/clock.h"
#include "framework/sound.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <set>
#include <vector>

namespace quorvel::test {

class FakeSound : public fw::Sound {
public:
    explicit FakeSound(double durationMs = 500.0, QString name = {},
                       std::shared_ptr<QStringList> playLog = nullptr)
        : m_durationMs(durationMs), m_name(std::move(name)), m_playLog(std::move(playLog))
    {
    }

    void Play() override
    {
        m_volumes.push_back(Volume());
        m_startUs = fw::Microseconds();
        m_started = true;
        if (m_playLog)
            m_playLog->append(m_name);
    }

    bool IsPlaying() override
    {
        return m_started && fw::Microseconds() - m_startUs < m_durationMs * 1000.0;
    }

    void Stop() override
    {
        m_started = false;
        ++m_stops;
    }

    double durationMs() const { return m_durationMs; }
    void setDurationMs(double ms) { m_durationMs = ms; }
    const QString& name() const { return m_name; }
    int playCount() const { return int(m_volumes.size()); }
    // The volume at each Play, in order.
    const std::vector<int>& playVolumes() const { return m_volumes; }
    int stopCount() const { return m_stops; }

private:
    double m_durationMs;
    QString m_name;
    std::shared_ptr<QStringList> m_playLog;
    std::vector<int> m_volumes;
    double m_startUs = 0.0;
    bool m_started = false;
    int m_stops = 0;
};

class FakeSoundFactory {
public:
    explicit FakeSoundFactory(double defaultDurationMs = 500.0) : m_defaultMs(defaultDurationMs) {}
    ~FakeSoundFactory()
    {
        if (m_installed)
            fw::setSoundFactory(std::move(m_previous));
    }
    FakeSoundFactory(const FakeSoundFactory&) = delete;
    FakeSoundFactory& operator=(const FakeSoundFactory&) = delete;

    void install()
    {
        if (m_installed)
            return;
        m_installed = true;
        m_previous = fw::setSoundFactory([this](const QString& path) { return open(path); });
    }

    void setDuration(const QString& name, double ms) { m_durations[name] = ms; }
    void setMissing(const QString& name) { m_missing.insert(name); }

    // Every file name asked for, in order (missing ones included).
    const QStringList& opened() const { return m_opened; }
    // The last sound made for that file name, or nullptr.
    FakeSound* sound(const QString& name) const
    {
        auto it = m_sounds.find(name);
        return it == m_sounds.end() ? nullptr : it->second.get();
    }
    // File names of every Play, in order.
    const QStringList& playLog() const { return *m_playLog; }
    void clearPlayLog() { m_playLog->clear(); }

private:
    std::shared_ptr<fw::Sound> open(const QString& path)
    {
        const QString name = QFileInfo(path).fileName();
        m_opened.append(name);
        if (m_missing.count(name))
            return nullptr;
        auto it = m_durations.find(name);
        auto s = std::make_shared<FakeSound>(it == m_durations.end() ? m_defaultMs : it->second, name,
                                             m_playLog);
        m_sounds[name] = s;
        return s;
    }

    double m_defaultMs;
    bool m_installed = false;
    fw::SoundFactory m_previous;
    std::map<QString, double> m_durations;
    std::set<QString> m_missing;
    QStringList m_opened;
    std::map<QString, std::shared_ptr<FakeSound>> m_sounds;
    std::shared_ptr<QStringList> m_playLog = std::make_shared<QStringList>();
};

} // namespace quorvel::test
