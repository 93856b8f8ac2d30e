// What the operator hears: the real program on a private X server, driven by
// keys through the X server, plays into a private PulseAudio null sink that
// is recorded. Every sound in the recording is matched against the program's
// own sound files and must be what the table below says each key makes:
// every digit of every announcement in order, one click per key, the signal
// at each trial that reaches the estimate, and nothing else (a sound at
// volume 0 is not heard). One run hears the digits alone, one the click and
// the signal alone, so that the digits never overlap what is matched.
//
// Nothing is excused: a key passes only with every sound it should make
// found whole, in order, and nothing else. When the sound server noted a
// dropout while the recording was made (an underrun of the program's stream,
// an overrun of the recorder), a recording with anything wrong in it is not
// judged: the whole run is made again from a fresh sound server and a fresh
// program. Without such a note, what is wrong is the program's: a sound it
// garbles, cuts or leaves out fails at once.

#include "tests/support/main_window.h"
#include "tests/support/main_window_screen.h"
#include "tests/support/private_pulse.h"
#include "tests/support/real_desktop.h"
#include "tests/support/sound_match.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

using namespace quorvel::test;

// The run: Adaptive PEST from 78 with a step of 3 and a difference threshold
// of 1.5, and these keys (y success: down by the step; n failure: up). The
// next output of each key, worked out by hand from the step rule (R: the
// last trial whose response differs from the one before; the outputs are
// clamped to 1..100; the estimate is reached when the output moved by less
// than 1.5):
//
//  trial key  R  step                               output          moved
//   1    y    -  3 (first two trials)                78 - 3  =  75     3
//   2    n    2  3                                   75 + 3  =  78     3
//   3    n    2  3 (R = n-1: kept)                   78 + 3  =  81     3
//   4    n    2  6 (R = n-2, trial 1 not doubled)    81 + 6  =  87     6
//   5    n    2  12 (R < n-2: doubled)               87 + 12 =  99    12
//   6    n    2  24                                  99 + 24 -> 100    1  reached
//   7    n    2  48                                 100 + 48 -> 100    0  reached
//   8    n    2  96                                 100 + 96 -> 100    0  reached
//   9    y    9  48 (reversal: halved)              100 - 48 =  52    48
//  10    n   10  24 (reversal)                       52 + 24 =  76    24
//  11    y   11  12 (reversal)                       76 - 12 =  64    12
//  12    y   11  12 (R = n-1: kept)                  64 - 12 =  52    12
//  13    y   11  24 (R = n-2, trial 10 not doubled)  52 - 24 =  28    24
//  14    n   14  12 (reversal)                       28 + 12 =  40    12
//  15    y   15  6 (reversal)                        40 - 6  =  34     6
//  16    y   15  6 (R = n-1: kept)                   34 - 6  =  28     6
//  17    y   15  12 (R = n-2, trial 14 not doubled)  28 - 12 =  16    12
//  18    y   15  24 (R < n-2: doubled)               16 - 24 ->   1   15
//  19    n   19  12 (reversal)                        1 + 12 =  13    12
//
// Spoken: the tens and the units of each output, the hundreds only when it
// is 1. Together the outputs have every digit 0..9 in the units place and
// in the tens place, and 100.
const QStringList kPrefsStart = {QStringLiteral("78"), QStringLiteral("3"), QStringLiteral("1.5")};
struct Trial {
    const char* key;
    const char* spoken;  // the digits of the next output as heard
    bool reached;
};
constexpr Trial kTrials[] = {
    {"y", "75", false},  {"n", "78", false},  {"n", "81", false}, {"n", "87", false}, {"n", "99", false},
    {"n", "100", true},  {"n", "100", true},  {"n", "100", true}, {"y", "52", false}, {"n", "76", false},
    {"y", "64", false},  {"y", "52", false},  {"y", "28", false}, {"n", "40", false}, {"y", "34", false},
    {"y", "28", false},  {"y", "16", false},  {"y", "01", false}, {"n", "13", false},
};

// Runs in a row with a dropout in each before the test gives up.
constexpr int kTries = 4;

struct Volumes {
    const char* name;
    int voice, signal, click;
};

// What a key is heard to make at these volumes: the click and the signal
// (started together) first, in name order, then the digits in order.
QStringList expectedSounds(const Volumes& v, const Trial& t)
{
    QStringList out;
    if (v.click > 0)
        out << QStringLiteral("Click");
    if (v.signal > 0 && t.reached)
        out << QStringLiteral("ding2");
    if (v.voice > 0)
        for (const char* d = t.spoken; *d; ++d)
            out << QStringLiteral("s") + QLatin1Char(*d);
    return out;
}

QStringList canonical(const QStringList& names)
{
    QStringList cues, digits;
    for (const QString& n : names)
        (n.size() == 2 && n.startsWith(QLatin1Char('s')) ? digits : cues) << n;
    cues.sort();
    return cues + digits;
}

// One run of the program from a fresh sound server, as recorded.
struct Recorded {
    std::vector<float> samples;
    std::vector<long long> keyAt;
    int underruns = 0, overruns = 0;
    int dropouts() const { return underruns + overruns; }
};

class RealSound : public PrivateConfigTest, public ::testing::WithParamInterface<Volumes> {
protected:
    void SetUp() override
    {
        QStringList f = defaultPrefsFields();
        for (int i = 0; i < kPrefsStart.size(); ++i)
            f[i] = kPrefsStart[i];
        f[3] = QString::number(GetParam().voice);
        f[4] = QString::number(GetParam().signal);
        f[5] = QString::number(GetParam().click);
        writePrefsFile(configHome(), f);
        const QString resources = qEnvironmentVariable("QUORVEL_BUILD_DIR") + QStringLiteral("/Resources/");
        for (const char* name : {"s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8", "s9", "Click", "ding2"}) {
            refs.push_back(loadReferenceSound(resources + QString::fromLatin1(name), QString::fromLatin1(name),
                                              PrivatePulseAudio::kRate));
            ASSERT_FALSE(refs.back().samples.empty()) << name << " missing, or not at the sink's rate";
        }
    }

    void record(Recorded* out)
    {
        QString why;
        RecordedPulseAudio sound;
        ASSERT_TRUE(sound.start(&why)) << why.toStdString();
        PrivatePulseAudio& pulse = sound.pulse();
        SinkRecorder& recorder = sound.recorder();
        PrivateXServer x;
        ASSERT_TRUE(x.start(&why)) << why.toStdString();
        RealProgram program(x, configHome());
        pulse.addClientEnvironment(program.environment());
        ASSERT_TRUE(program.start(&why)) << why.toStdString();
        const unsigned long window = program.waitForWindow(QString::fromLatin1(kMainWindowTitle), 30000);
        ASSERT_NE(window, 0UL) << program.standardError().toStdString();
        Display* d = x.display();
        ASSERT_TRUE(pressStart(d, window, 10000)) << "Start did not run";
        // The history takes the focus and lets every key through.
        ASSERT_TRUE(clickInContent(d, window, kHistoryField, 5000));
        QThread::msleep(300);

        const int underrunsBefore = pulse.underruns();
        for (const Trial& t : kTrials) {
            out->keyAt.push_back(recorder.position());
            tapKey(d, QString::fromLatin1(t.key));
            // Long enough for the announcement (about 0.55 s a digit) and
            // the signal to end before the next key.
            QThread::msleep(GetParam().voice > 0 ? 400 + 600 * int(std::strlen(t.spoken)) : 800);
        }
        QThread::msleep(500);
        out->samples = recorder.stop();
        out->underruns = pulse.underruns() - underrunsBefore;
        out->overruns = recorder.overruns();
        tapKey(d, QStringLiteral("ctrl+q"));
        int exitCode = -1;
        EXPECT_TRUE(program.waitForExit(10000, &exitCode));
        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(program.standardError(), QByteArray()) << "nothing of the audio libraries reaches the terminal";
    }

    // The strict verdict on a recording: what is wrong with it, key by key,
    // and a summary line.
    QStringList judge(const Recorded& run, QString* summary)
    {
        QStringList wrong;
        const std::vector<HeardSound> heard = SoundMatcher(refs, PrivatePulseAudio::kRate).find(run.samples);
        const auto ms = [](long long samples) { return 1000.0 * double(samples) / PrivatePulseAudio::kRate; };
        // Each sound belongs to the last key sent before it was heard.
        const auto keyOf = [&](long long sample) -> long long {
            return (long long)(std::upper_bound(run.keyAt.begin(), run.keyAt.end(), sample) - run.keyAt.begin()) - 1;
        };
        const std::size_t keys = std::size(kTrials);
        std::vector<QStringList> got(keys), shown(keys);
        std::vector<double> latencyMs;
        for (const HeardSound& h : heard) {
            const long long k = keyOf(h.onset);
            if (k < 0) {
                wrong << QStringLiteral("%1 heard %2 ms before the first key").arg(h.name).arg(ms(run.keyAt.front() - h.onset));
                continue;
            }
            const auto key = std::size_t(k);
            if (got[key].isEmpty() && h.name != QStringLiteral("gap"))
                latencyMs.push_back(ms(h.onset - run.keyAt[key]));
            got[key] << h.name;
            shown[key] << (h.name == QStringLiteral("gap")
                               ? QStringLiteral("silence of %1 ms inside a sound").arg(ms(h.start - h.onset), 0, 'f', 1)
                               : QStringLiteral("%1 (%2 at %3 ms)")
                                     .arg(h.name)
                                     .arg(h.score, 0, 'f', 2)
                                     .arg(ms(h.onset - run.keyAt[key]), 0, 'f', 1));
        }
        int digits = 0, signals = 0;
        for (std::size_t k = 0; k < keys; ++k) {
            const QStringList expected = expectedSounds(GetParam(), kTrials[k]);
            digits += int(expected.size()) - int(expected.count(QStringLiteral("Click"))) -
                      int(expected.count(QStringLiteral("ding2")));
            signals += int(expected.count(QStringLiteral("ding2")));
            // Unknown sounds and silences inside sounds never match a list
            // of sound names, so they fail the key.
            if (canonical(got[k]) != expected)
                wrong << QStringLiteral("key %1 (%2): expected %3, heard %4")
                             .arg(k + 1)
                             .arg(QString::fromLatin1(kTrials[k].key), expected.join(QLatin1Char(' ')),
                                  shown[k].isEmpty() ? QStringLiteral("nothing") : shown[k].join(QStringLiteral(", ")));
        }
        std::sort(latencyMs.begin(), latencyMs.end());
        if (latencyMs.empty())
            return wrong << QStringLiteral("nothing heard");
        *summary = QStringLiteral("%1: %2 keys, %3 digits, %4 signals; key to first sound: median %5 ms, worst %6 ms")
                       .arg(QString::fromLatin1(GetParam().name))
                       .arg(keys)
                       .arg(digits)
                       .arg(signals)
                       .arg(latencyMs[latencyMs.size() / 2], 0, 'f', 1)
                       .arg(latencyMs.back(), 0, 'f', 1);
        // The first sound of each key comes at once, the very first one too.
        if (latencyMs.back() >= 300.0)
            wrong << QStringLiteral("a first sound %1 ms after its key (bound 300 ms)").arg(latencyMs.back(), 0, 'f', 1);
        return wrong;
    }

    void keep(const Recorded& run)
    {
        QFile dump(QDir::temp().filePath(
            QStringLiteral("quorvel-recording-%1.f32").arg(QString::fromLatin1(GetParam().name))));
        if (dump.open(QIODevice::WriteOnly))
            dump.write(reinterpret_cast<const char*>(run.samples.data()), qint64(run.samples.size() * sizeof(float)));
        std::printf("recording (32-bit float, mono, %d Hz) kept in %s\n", PrivatePulseAudio::kRate,
                    qPrintable(dump.fileName()));
    }

    std::vector<ReferenceSound> refs;
};

TEST_P(RealSound, EverySoundOfARunIsHeardWholeAndInOrder)
{
    QStringList tries;
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        Recorded run;
        ASSERT_NO_FATAL_FAILURE(record(&run));
        QString summary;
        const QStringList wrong = judge(run, &summary);
        if (wrong.isEmpty()) {
            // Every sound found whole where it belongs and nothing else: any
            // dropout the server noted fell in a silence.
            std::printf("%s; %d dropouts noted by the sound server, none inside a sound\n", qPrintable(summary),
                        run.dropouts());
            return;
        }
        if (run.dropouts() == 0) {
            // The sound server played all it was sent: what is wrong is the
            // program's.
            keep(run);
            FAIL() << summary.toStdString() << "\n" << wrong.join(QLatin1Char('\n')).toStdString();
        }
        tries << QStringLiteral("try %1: %2 dropouts (%3 underruns, %4 overruns); wrong:\n  %5")
                     .arg(attempt)
                     .arg(run.dropouts())
                     .arg(run.underruns)
                     .arg(run.overruns)
                     .arg(wrong.join(QStringLiteral("\n  ")));
        std::printf("%s; not judged, run again\n", qPrintable(tries.back()));
    }
    FAIL() << "the machine was too busy to judge: the sound server dropped samples in each of " << kTries
           << " tries, and each recording had sounds damaged\n"
           << tries.join(QLatin1Char('\n')).toStdString();
}

// The digits at full voice with the cues off; the click and the signal with
// the voice off. The click and the signal start together at the estimate:
// at these volumes they never sum past full scale, where the output's
// limiter would bend them.
const Volumes kRuns[] = {{"Digits", 100, 0, 0}, {"ClickAndSignal", 0, 60, 60}};
INSTANTIATE_TEST_SUITE_P(, RealSound, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<Volumes>& info) { return std::string(info.param.name); });

} // namespace
