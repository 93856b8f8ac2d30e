// What the operator hears: the real program on a private X server, driven by
// keys through the X server, plays into a private PulseAudio null sink that
// is recorded. Every sound in the recording is matched against the program's
// own sound files and must be what the same keys give in-process with fake
// sounds: every digit of every announcement in order, one click per accepted
// key, the signal at each trial that reaches the estimate, and nothing else
// (a sound at volume 0 is not heard). One run hears the digits alone, one the
// click and the signal alone, so that the digits never overlap what is
// matched; each is a test program of its own, so the two run side by side.
//
// A test program includes this once and instantiates RealSound with its run.
#pragma once

#include "tests/support/main_window.h"
#include "tests/support/private_pulse.h"
#include "tests/support/real_desktop.h"
#include "tests/support/sound_match.h"

#include "framework/core/text.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace quorvel::test {

struct Volumes {
    const char* name;
    int voice, signal, click;
};

// Window coordinates of the layout's controls: the menu bar lies above them.
constexpr int kMenuBar = 20;
constexpr int kStartX = 600, kStartY = 198 + kMenuBar + 10;
constexpr int kHistoryX = 100, kHistoryY = 445 + kMenuBar + 60;

constexpr int kTrials = 32;
// A subject whose motor threshold lies at this output.
constexpr double kThreshold = 47.0;

// A key's sounds with the click and the signal (started together) first, in
// name order, then the digits in the order spoken.
inline QStringList canonical(const QStringList& names)
{
    QStringList cues, digits;
    for (const QString& n : names)
        (n.startsWith(QLatin1Char('s')) ? digits : cues) << n;
    cues.sort();
    return cues + digits;
}

class RealSound : public MainWindowTest, public ::testing::WithParamInterface<Volumes> {
protected:
    QStringList prefsFields() const override
    {
        QStringList f = defaultPrefsFields();
        f[3] = QString::number(GetParam().voice);
        f[4] = QString::number(GetParam().signal);
        f[5] = QString::number(GetParam().click);
        return f;
    }

    // The keys the subject's responses give, and the sounds each key is heard
    // to make (played at a volume above 0), from the same run in-process.
    void expectedRun(QStringList* keys, std::vector<QStringList>* sounds_)
    {
        w->PushButton1_Action(w->PushButton1());
        const Volumes run = GetParam();
        for (int trial = 0; trial < kTrials; ++trial) {
            const QString key = fw::Round(w->mysetting) >= kThreshold ? QStringLiteral("y") : QStringLiteral("n");
            sounds.clearPlayLog();
            press(key);
            for (int pass = 0; pass < 100000 && anyTimerOn(); ++pass) {
                fireTimers();
                clock.advance(10'000);
            }
            ASSERT_FALSE(anyTimerOn());
            QStringList heard;
            for (const QString& name : sounds.playLog()) {
                const int volume = name == QStringLiteral("Click")   ? run.click
                                   : name == QStringLiteral("ding2") ? run.signal
                                                                     : run.voice;
                if (volume > 0)
                    heard << name;
            }
            keys->append(key);
            sounds_->push_back(canonical(heard));
        }
        fw::Window::releaseAll();
        w = nullptr;
        fw::setClock(nullptr);
    }
};

TEST_P(RealSound, EverySoundOfARunIsHeardInOrder)
{
    QStringList keys;
    std::vector<QStringList> expected;
    ASSERT_NO_FATAL_FAILURE(expectedRun(&keys, &expected));
    int signals = 0, digits = 0;
    for (const QStringList& e : expected) {
        signals += int(e.count(QStringLiteral("ding2")));
        digits += int(e.size()) - int(e.count(QStringLiteral("ding2"))) - int(e.count(QStringLiteral("Click")));
    }
    if (GetParam().signal > 0) {
        ASSERT_GT(signals, 0) << "the run must reach the estimate";
        ASSERT_LT(signals, kTrials) << "the run must also have trials that do not reach it";
    }

    QString why;
    PrivatePulseAudio pulse;
    ASSERT_TRUE(pulse.start(&why)) << why.toStdString();
    SinkRecorder recorder(pulse);
    ASSERT_TRUE(recorder.start(&why)) << why.toStdString();
    PrivateXServer x;
    ASSERT_TRUE(x.start(&why)) << why.toStdString();
    RealProgram program(x, configHome());
    pulse.addClientEnvironment(program.environment());
    ASSERT_TRUE(program.start(&why)) << why.toStdString();
    const unsigned long window = program.waitForWindow(QStringLiteral("Adaptive PEST Procedure "), 30000);
    ASSERT_NE(window, 0UL) << program.standardError().toStdString();
    Display* d = x.display();
    focusWindow(d, window);
    QThread::msleep(300);
    clickAt(d, window, kStartX, kStartY);
    // The history takes the focus and lets every key through.
    clickAt(d, window, kHistoryX, kHistoryY);
    QThread::msleep(300);

    std::vector<long long> keyAt;
    for (int i = 0; i < keys.size(); ++i) {
        keyAt.push_back(recorder.position());
        tapKey(d, keys[i]);
        // Long enough for the announcement (about 0.55 s a digit) and the
        // signal to end before the next key.
        const qsizetype spoken = expected[std::size_t(i)].size() - expected[std::size_t(i)].count(QStringLiteral("ding2")) -
                                 expected[std::size_t(i)].count(QStringLiteral("Click"));
        QThread::msleep(GetParam().voice > 0 ? 400 + 600 * int(spoken) : 800);
    }
    QThread::msleep(500);
    const std::vector<float> recording = recorder.stop();
    tapKey(d, QStringLiteral("ctrl+q"));
    int exitCode = -1;
    EXPECT_TRUE(program.waitForExit(10000, &exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(program.standardError(), QByteArray()) << "nothing of the audio libraries reaches the terminal";

    std::vector<ReferenceSound> refs;
    const QString resources = qEnvironmentVariable("QUORVEL_BUILD_DIR") + QStringLiteral("/Resources/");
    for (const char* name : {"s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8", "s9", "Click", "ding2"}) {
        refs.push_back(loadReferenceSound(resources + QString::fromLatin1(name), QString::fromLatin1(name),
                                          PrivatePulseAudio::kRate));
        ASSERT_FALSE(refs.back().samples.empty()) << name;
    }
    const std::vector<HeardSound> heard = SoundMatcher(refs, PrivatePulseAudio::kRate).find(recording);

    // Each sound belongs to the last key sent before it was heard.
    const auto keyOf = [&](long long sample) -> long long {
        return (long long)(std::upper_bound(keyAt.begin(), keyAt.end(), sample) - keyAt.begin()) - 1;
    };
    std::vector<QStringList> got(keys.size());
    std::vector<int> gapsAt(keys.size(), 0);
    std::vector<double> latencyMs;
    int gaps = 0;
    double longestGapMs = 0.0;
    for (const HeardSound& h : heard) {
        const long long k = keyOf(h.onset);
        if (k < 0) {
            ADD_FAILURE() << h.name.toStdString() << " heard before the first key";
            continue;
        }
        if (h.name == QStringLiteral("gap")) {
            // The sound was heard, with a moment of silence in it.
            ++gaps;
            ++gapsAt[std::size_t(k)];
            longestGapMs = std::max(longestGapMs, 1000.0 * double(h.start - h.onset) / PrivatePulseAudio::kRate);
            continue;
        }
        if (got[std::size_t(k)].isEmpty())
            latencyMs.push_back(1000.0 * double(h.onset - keyAt[std::size_t(k)]) / PrivatePulseAudio::kRate);
        got[std::size_t(k)] << QStringLiteral("%1 (%2 at %3 ms)")
                                   .arg(h.name)
                                   .arg(h.score, 0, 'f', 2)
                                   .arg(1000.0 * double(h.onset - keyAt[std::size_t(k)]) / PrivatePulseAudio::kRate,
                                        0, 'f', 1);
    }
    // A machine too busy to feed the sound server in time leaves a dropout,
    // and the sound server may then play the rest a little later, or skip
    // and replay part of it (seen with no silence at all): such a sound no
    // longer matches its file as a whole, and what is left over is heard as
    // "?". A key whose sounds were hit so is excused when its first sound is
    // one it should make; a key with no sound, with another sound first, or
    // with a clean sound missing, never is.
    QStringList excused;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(QStringLiteral("key %1 (%2)").arg(k + 1).arg(keys[int(k)]).toStdString());
        QStringList names;
        for (const QString& g : got[k])
            names << g.section(QLatin1Char(' '), 0, 0);
        const std::string heardText = got[k].join(QStringLiteral(", ")).toStdString();
        if (canonical(names) == expected[k])
            continue;
        const bool damaged = gapsAt[k] > 0 || names.contains(QStringLiteral("?"));
        if (damaged && !names.isEmpty() && expected[k].contains(names.front())) {
            excused << QStringLiteral("key %1: %2").arg(k + 1).arg(got[k].join(QStringLiteral(", ")));
            continue;
        }
        ADD_FAILURE() << "expected " << expected[k].join(QLatin1Char(' ')).toStdString() << ", heard " << heardText;
    }
    for (const QString& e : excused)
        std::printf("damaged by a dropout, %s\n", qPrintable(e));
    EXPECT_LE(excused.size(), 3) << "too many keys damaged by dropouts";
    if (HasFailure()) {
        QFile dump(QDir::temp().filePath(QStringLiteral("quorvel-recording-%1.f32").arg(QString::fromLatin1(GetParam().name))));
        if (dump.open(QIODevice::WriteOnly))
            dump.write(reinterpret_cast<const char*>(recording.data()), qint64(recording.size() * sizeof(float)));
        std::printf("recording (32-bit float, mono, %d Hz) kept in %s\n", PrivatePulseAudio::kRate,
                    qPrintable(dump.fileName()));
    }

    std::sort(latencyMs.begin(), latencyMs.end());
    ASSERT_FALSE(latencyMs.empty());
    const double median = latencyMs[latencyMs.size() / 2];
    std::printf("%s: %d keys, %d digits, %d signals; key to first sound: median %.1f ms, worst %.1f ms; "
                "%d dropouts, longest %.1f ms\n",
                GetParam().name, int(keys.size()), digits, signals, median, latencyMs.back(), gaps, longestGapMs);
    // A busy machine may starve the sound server's client now and then for a
    // moment (heard as a crackle); a syllable lost is a fault.
    EXPECT_LT(longestGapMs, 150.0);
    // The first sound of each key comes at once, the very first one too.
    EXPECT_LT(latencyMs.back(), 300.0);
}

} // namespace quorvel::test
