// The matcher that judges the recorded sound runs, on recordings made here
// from the program's own sound files: a sound played unchanged is found by
// its name and nothing else; a digit played at another speed, or cut short,
// is never taken for itself; a stretch of silence inside a sound is a gap.

#include "tests/support/private_pulse.h"
#include "tests/support/sound_match.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using namespace quorvel::test;

constexpr int kRate = PrivatePulseAudio::kRate;

class RecordingMatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString resources = qEnvironmentVariable("QUORVEL_BUILD_DIR") + QStringLiteral("/Resources/");
        for (const char* name : {"s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8", "s9", "Click", "ding2"}) {
            refs.push_back(loadReferenceSound(resources + QString::fromLatin1(name), QString::fromLatin1(name), kRate));
            ASSERT_FALSE(refs.back().samples.empty()) << name;
        }
    }
    const std::vector<float>& ref(const QString& name) const
    {
        for (const ReferenceSound& r : refs)
            if (r.name == name)
                return r.samples;
        static const std::vector<float> none;
        return none;
    }
    // Half a second of silence, the sounds at `at` seconds with `gain`, half
    // a second more, and the sound server's 16-bit steps with a little
    // noise, as the recorder gives them.
    struct Placed {
        std::vector<float> samples;
        double at, gain;
    };
    static std::vector<float> recording(const std::vector<Placed>& sounds)
    {
        std::size_t length = 0;
        for (const Placed& p : sounds)
            length = std::max(length, std::size_t(p.at * kRate) + p.samples.size());
        std::vector<float> out(length + kRate / 2, 0.0f);
        for (const Placed& p : sounds)
            for (std::size_t i = 0; i < p.samples.size(); ++i)
                out[std::size_t(p.at * kRate) + i] += float(p.gain) * p.samples[i];
        std::mt19937 noise(7);
        std::uniform_int_distribution<int> lsb(-1, 1);
        for (float& v : out)
            if (v != 0.0f)
                v = float(std::lround(v * 32768.0f) + lsb(noise)) / 32768.0f;
        return out;
    }
    // Played `speed` times faster, as a source with that pitch plays it.
    static std::vector<float> atSpeed(const std::vector<float>& x, double speed)
    {
        std::vector<float> y(std::size_t(double(x.size()) / speed));
        for (std::size_t i = 0; i < y.size(); ++i) {
            const double pos = double(i) * speed;
            const auto k = std::size_t(pos);
            const double frac = pos - double(k);
            y[i] = float(x[k] * (1.0 - frac) + (k + 1 < x.size() ? x[k + 1] : 0.0f) * frac);
        }
        return y;
    }
    QStringList heard(const std::vector<float>& rec) const
    {
        return names(SoundMatcher(refs, kRate).find(rec));
    }

    std::vector<ReferenceSound> refs;
};

TEST_F(RecordingMatch, SoundsPlayedUnchangedAreFoundAndNothingElse)
{
    const struct {
        const char* name;
        std::vector<const char*> sounds;
        std::vector<double> gains;
        QStringList expected;
        double later = 0.0;  // the second sound starts this long after the first
    } cases[] = {
        {"one digit", {"s5"}, {1.0}, {QStringLiteral("s5")}},
        {"a quiet digit", {"s8"}, {0.3}, {QStringLiteral("s8")}},
        {"two digits in a row", {"s6", "s7"}, {0.7, 0.7}, {QStringLiteral("s6"), QStringLiteral("s7")}},
        {"the click and the signal together", {"Click", "ding2"}, {0.6, 0.6},
         {QStringLiteral("Click"), QStringLiteral("ding2")}},
        // Started together, heard a mixing period or two apart.
        {"the signal 5 ms after the click", {"Click", "ding2"}, {0.6, 0.6},
         {QStringLiteral("Click"), QStringLiteral("ding2")}, 0.005},
        {"the signal 23 ms after the click", {"Click", "ding2"}, {0.6, 0.6},
         {QStringLiteral("Click"), QStringLiteral("ding2")}, 0.023},
        {"the click 12 ms after the signal", {"ding2", "Click"}, {0.6, 0.6},
         {QStringLiteral("Click"), QStringLiteral("ding2")}, 0.012},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Placed> placed;
        double at = 0.5;
        for (std::size_t i = 0; i < c.sounds.size(); ++i) {
            placed.push_back({ref(QString::fromLatin1(c.sounds[i])), at, c.gains[i]});
            if (QString::fromLatin1(c.sounds[i]).startsWith(QLatin1Char('s')))
                at += double(placed.back().samples.size()) / kRate + 0.01;
            else
                at += c.later;
        }
        QStringList got = heard(recording(placed));
        if (c.expected.first() == QStringLiteral("Click"))
            got.sort();
        EXPECT_EQ(got.join(QLatin1Char(' ')).toStdString(), c.expected.join(QLatin1Char(' ')).toStdString());
    }
}

TEST_F(RecordingMatch, AGarbledOrCutDigitIsNeverTakenForItself)
{
    for (int d = 0; d <= 9; ++d) {
        const QString name = QStringLiteral("s%1").arg(d);
        SCOPED_TRACE(name.toStdString());
        const std::vector<float>& r = ref(name);
        // At pitch 1.25, as a source with that pitch plays it.
        const QStringList fast = heard(recording({{atSpeed(r, 1.25), 0.5, 1.0}}));
        EXPECT_FALSE(fast.contains(name)) << "pitch 1.25: " << fast.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(fast.contains(QStringLiteral("?"))) << "pitch 1.25: " << fast.join(QLatin1Char(' ')).toStdString();
        // Stopped after two thirds of its length.
        std::vector<float> cut(r.begin(), r.begin() + std::ptrdiff_t(r.size() * 2 / 3));
        const QStringList shortened = heard(recording({{cut, 0.5, 1.0}}));
        EXPECT_NE(shortened, QStringList{name}) << "cut";
        EXPECT_TRUE(shortened.contains(QStringLiteral("?"))) << "cut: " << shortened.join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(RecordingMatch, SilenceInsideASoundIsAGap)
{
    std::vector<float> r = ref(QStringLiteral("s0"));
    // 3 ms of nothing in the loud middle of the word.
    std::fill(r.begin() + std::ptrdiff_t(r.size() / 2), r.begin() + std::ptrdiff_t(r.size() / 2 + kRate * 3 / 1000),
              0.0f);
    const QStringList got = heard(recording({{r, 0.5, 1.0}}));
    EXPECT_TRUE(got.contains(QStringLiteral("gap"))) << got.join(QLatin1Char(' ')).toStdString();
}

} // namespace
