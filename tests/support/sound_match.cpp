#include "tests/support/sound_match.h"

#include "framework/sound.h"

#include <algorithm>
#include <cmath>

namespace quorvel::test {
namespace {

// The search runs on signals averaged over this many samples, then refines
// at the full rate.
constexpr int kDecimation = 4;
// The quietest a reference may be played at and still be found.
constexpr float kMinGain = 0.2f;
// What is left of a sound once taken out, relative to its level nearby: the
// hiss of a spoken "s" is resampled a little differently by the player than
// here, so the part above ~6 kHz does not cancel exactly.
constexpr float kLeftOver = 0.5f;

std::vector<float> decimate(const std::vector<float>& x)
{
    std::vector<float> y(x.size() / kDecimation);
    for (std::size_t j = 0; j < y.size(); ++j) {
        float sum = 0.0f;
        for (int k = 0; k < kDecimation; ++k)
            sum += x[j * kDecimation + std::size_t(k)];
        y[j] = sum / kDecimation;
    }
    return y;
}

// Normalised cross-correlation of `ref` with `x` starting at `at`; the part of
// the reference past the end of `x` counts as silence.
double ncc(const std::vector<float>& x, long long at, const std::vector<float>& ref, double refEnergy)
{
    if (at < 0 || refEnergy <= 0.0)
        return 0.0;
    double dot = 0.0, energy = 0.0;
    const long long n = std::min<long long>(ref.size(), (long long)x.size() - at);
    for (long long i = 0; i < n; ++i) {
        const double v = x[std::size_t(at + i)];
        dot += v * ref[std::size_t(i)];
        energy += v * v;
    }
    return energy > 0.0 ? dot / std::sqrt(energy * refEnergy) : 0.0;
}

double energyOf(const std::vector<float>& x)
{
    double e = 0.0;
    for (float v : x)
        e += double(v) * v;
    return e;
}

long long firstAbove(const std::vector<float>& x, long long from, const std::vector<float>& floor)
{
    for (long long i = std::max(0LL, from); i < (long long)x.size(); ++i)
        if (std::fabs(x[std::size_t(i)]) > floor[std::size_t(i)])
            return i;
    return -1;
}

long long firstAbove(const std::vector<float>& x, long long from, float level)
{
    for (long long i = std::max(0LL, from); i < (long long)x.size(); ++i)
        if (std::fabs(x[std::size_t(i)]) > level)
            return i;
    return -1;
}

struct Prepared {
    const ReferenceSound* ref;
    std::vector<float> coarse;
    double energy, coarseEnergy;
    // Where the reference is first heard when played at full gain and at
    // the least gain: bounds on its start before an onset.
    long long firstLoud, firstQuiet;
};

} // namespace

ReferenceSound loadReferenceSound(const QString& path, const QString& name, int rate)
{
    ReferenceSound out{name, {}};
    const auto decoded = fw::decodeSoundFile(path);
    if (!decoded)
        return out;
    const long long frames = decoded->frames();
    std::vector<float> mono(std::size_t(frames), 0.0f);
    for (long long f = 0; f < frames; ++f) {
        float sum = 0.0f;
        for (int c = 0; c < decoded->channels; ++c)
            sum += decoded->samples[std::size_t(f * decoded->channels + c)];
        mono[std::size_t(f)] = sum / decoded->channels / 32768.0f;
    }
    const double step = double(decoded->sampleRate) / rate;
    const auto n = std::size_t(double(frames) / step);
    out.samples.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double pos = double(i) * step;
        const auto k = std::size_t(pos);
        const double frac = pos - double(k);
        const float next = k + 1 < mono.size() ? mono[k + 1] : 0.0f;
        out.samples[i] = float(mono[k] * (1.0 - frac) + next * frac);
    }
    return out;
}

SoundMatcher::SoundMatcher(std::vector<ReferenceSound> references, int rate, float level)
    : m_refs(std::move(references)), m_rate(rate), m_level(level)
{
}

std::vector<HeardSound> SoundMatcher::find(const std::vector<float>& recording, double minScore) const
{
    std::vector<Prepared> refs;
    for (const ReferenceSound& r : m_refs) {
        if (r.samples.empty())
            continue;
        Prepared p{&r, decimate(r.samples), energyOf(r.samples), 0.0, firstAbove(r.samples, 0, m_level),
                   firstAbove(r.samples, 0, m_level / kMinGain)};
        p.coarseEnergy = energyOf(p.coarse);
        if (p.firstLoud < 0)
            continue;
        if (p.firstQuiet < 0)
            p.firstQuiet = p.firstLoud;
        refs.push_back(std::move(p));
    }

    std::vector<float> work = recording;
    std::vector<float> coarse = decimate(work);
    // What counts as heard: the level, raised where a sound was taken out so
    // that what is left of it does not count as a sound of its own.
    std::vector<float> floor(work.size(), m_level);
    std::vector<HeardSound> heard;
    const long long slack = m_rate / 500;  // 2 ms
    long long pos = 0;
    while (true) {
        const long long onset = firstAbove(work, pos, floor);
        if (onset < 0)
            break;
        // Silence where a sound found already should still sound: a gap.
        if (floor[std::size_t(onset)] > m_level) {
            // Its silence begins at the onset or within 5 ms after it.
            bool gap = false;
            for (long long from = onset; from < onset + m_rate / 200 && !gap; ++from) {
                long long end = from;
                while (end < (long long)recording.size() && std::fabs(recording[std::size_t(end)]) <= m_level)
                    ++end;
                if (end - from >= m_rate / 500) {
                    heard.push_back({QStringLiteral("gap"), from, end, 0.0});
                    pos = end;
                    gap = true;
                }
            }
            if (gap)
                continue;
        }
        HeardSound best{QStringLiteral("?"), onset, onset, 0.0};
        const Prepared* bestRef = nullptr;
        for (const Prepared& p : refs) {
            const long long from = std::max(0LL, (onset - p.firstQuiet - slack) / kDecimation);
            const long long to = (onset - p.firstLoud + slack) / kDecimation;
            if (to < from)
                continue;
            std::vector<double> scores;
            for (long long j = from; j <= to; ++j)
                scores.push_back(ncc(coarse, j, p.coarse, p.coarseEnergy));
            // A tone's correlation peaks once a period with nearly equal
            // heights, and the coarse signal can rank them wrongly: every
            // peak close to the best is refined at the full rate.
            const double top = *std::max_element(scores.begin(), scores.end());
            long long fineAt = -1;
            double fine = -1.0;
            for (std::size_t c = 0; c < scores.size(); ++c) {
                if (scores[c] < top - 0.02)
                    continue;
                const long long at = (from + (long long)c) * kDecimation;
                for (long long k = at - kDecimation; k <= at + kDecimation; ++k) {
                    const double s = ncc(work, k, p.ref->samples, p.energy);
                    if (s > fine) {
                        fine = s;
                        fineAt = k;
                    }
                }
            }
            if (fine > best.score) {
                best = {p.ref->name, onset, fineAt, fine};
                bestRef = &p;
            }
        }
        if (!bestRef || best.score < minScore) {
            // Unknown: reported once, and passed over up to 20 ms of silence.
            heard.push_back({QStringLiteral("?"), onset, onset, best.score});
            pos = onset + 1;
            for (long long quiet = 0; pos < (long long)work.size() && quiet < m_rate / 50; ++pos)
                quiet = std::fabs(work[std::size_t(pos)]) > floor[std::size_t(pos)] ? 0 : quiet + 1;
            continue;
        }
        heard.push_back(best);
        // Take the sound out at the gain it was played with; whatever was
        // heard together with it stays and is found from the same onset.
        const std::vector<float>& r = bestRef->ref->samples;
        double dot = 0.0;
        const long long n = std::min<long long>(r.size(), (long long)work.size() - best.start);
        if (best.start < 0 || n <= 0) {
            pos = onset + 1;
            continue;
        }
        for (long long i = 0; i < n; ++i)
            dot += double(work[std::size_t(best.start + i)]) * r[std::size_t(i)];
        const double gain = dot / bestRef->energy;
        for (long long i = 0; i < n; ++i)
            work[std::size_t(best.start + i)] -= float(gain * r[std::size_t(i)]);
        // Within 5 ms of each sample, what is left of the sound is a small
        // part of its own level there; what stands out above that is heard.
        const long long reach = m_rate / 200;
        const long long blocks = (n + reach - 1) / reach;
        std::vector<float> blockPeak(std::size_t(std::max(0LL, blocks)), 0.0f);
        for (long long i = 0; i < n; ++i)
            blockPeak[std::size_t(i / reach)] =
                std::max(blockPeak[std::size_t(i / reach)], std::fabs(float(gain) * r[std::size_t(i)]));
        for (long long i = 0; i < n; ++i) {
            const long long b = i / reach;
            float around = blockPeak[std::size_t(b)];
            if (b > 0)
                around = std::max(around, blockPeak[std::size_t(b - 1)]);
            if (b + 1 < blocks)
                around = std::max(around, blockPeak[std::size_t(b + 1)]);
            float& f = floor[std::size_t(best.start + i)];
            f = std::max(f, kLeftOver * around);
        }
        pos = onset;
    }
    std::stable_sort(heard.begin(), heard.end(),
                     [](const HeardSound& a, const HeardSound& b) { return a.onset < b.onset; });
    return heard;
}

QStringList names(const std::vector<HeardSound>& heard)
{
    QStringList out;
    for (const HeardSound& h : heard)
        out << h.name;
    return out;
}

} // namespace quorvel::test
