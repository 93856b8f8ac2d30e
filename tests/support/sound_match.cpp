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
// What may be left of a sound once taken out, relative to its level nearby:
// the sound server's 16-bit output and the player's dither, no more. A
// sound played at another speed, or cut short, leaves far more and is heard.
constexpr float kLeftOver = 0.1f;

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

// Normalised cross-correlation of `ref` with `x` starting at `at`; the part
// of the reference past the end of `x` counts as silence.
double ncc(const std::vector<float>& x, long long at, const std::vector<float>& ref)
{
    if (at < 0)
        return 0.0;
    double dot = 0.0, energy = 0.0, refEnergy = 0.0;
    const long long n = std::min<long long>((long long)ref.size(), (long long)x.size() - at);
    for (long long i = 0; i < n; ++i) {
        const double v = x[std::size_t(at + i)], r = ref[std::size_t(i)];
        dot += v * r;
        energy += v * v;
        refEnergy += r * r;
    }
    for (long long i = std::max(0LL, n); i < (long long)ref.size(); ++i)
        refEnergy += double(ref[std::size_t(i)]) * ref[std::size_t(i)];
    return energy > 0.0 && refEnergy > 0.0 ? dot / std::sqrt(energy * refEnergy) : 0.0;
}

long long firstAbove(const std::vector<float>& x, long long from, const std::vector<float>& floor)
{
    for (long long i = std::max(0LL, from); i < (long long)x.size(); ++i)
        if (std::fabs(x[std::size_t(i)]) > floor[std::size_t(i)])
            return i;
    return -1;
}

long long firstAbove(const std::vector<float>& x, float level)
{
    for (std::size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i]) > level)
            return (long long)i;
    return -1;
}

} // namespace

struct SoundMatcher::Prepared {
    const ReferenceSound* ref;
    std::vector<float> coarse;
    // Where the reference is first heard when played at full gain and at
    // the least gain: bounds on its start before an onset.
    long long firstLoud, firstQuiet;
};

// The recording as the search goes on: what is not yet explained, the same
// averaged, and the level above which a sample counts as heard.
struct SoundMatcher::Work {
    std::vector<float> signal;
    std::vector<float> coarse;
    std::vector<float> floor;
    std::vector<Prepared> refs;
};

ReferenceSound loadReferenceSound(const QString& path, const QString& name, int rate)
{
    ReferenceSound out{name, {}};
    const auto decoded = fw::decodeSoundFile(path);
    if (!decoded || decoded->sampleRate != rate)
        return out;
    const long long frames = decoded->frames();
    out.samples.assign(std::size_t(frames), 0.0f);
    for (long long f = 0; f < frames; ++f) {
        float sum = 0.0f;
        for (int c = 0; c < decoded->channels; ++c)
            sum += decoded->samples[std::size_t(f * decoded->channels + c)];
        out.samples[std::size_t(f)] = sum / decoded->channels / 32768.0f;
    }
    return out;
}

SoundMatcher::SoundMatcher(std::vector<ReferenceSound> references, int rate, float level)
    : m_refs(std::move(references)), m_rate(rate), m_level(level)
{
}

HeardSound SoundMatcher::search(const Work& work, long long onset, const Prepared** best) const
{
    HeardSound found{QStringLiteral("?"), onset, onset, 0.0};
    *best = nullptr;
    const long long slack = m_rate / 500;  // 2 ms
    // Sounds started together by the program may reach the output a mixing
    // period or two apart: one that starts up to 25 ms after the onset is
    // looked for too, so that it can be taken out before the one that
    // starts there is matched.
    const long long later = m_rate / 40;
    for (const Prepared& p : work.refs) {
        const long long from = std::max(0LL, (onset - p.firstQuiet - slack) / kDecimation);
        const long long to = (onset - p.firstLoud + slack + later) / kDecimation;
        if (to < from)
            continue;
        std::vector<double> scores;
        for (long long j = from; j <= to; ++j)
            scores.push_back(ncc(work.coarse, j, p.coarse));
        // A tone's correlation peaks once a period with nearly equal heights,
        // and the coarse signal can rank them wrongly: the highest few peaks
        // go on to the full rate.
        std::vector<std::size_t> peaks;
        for (std::size_t c = 0; c < scores.size(); ++c)
            if ((c == 0 || scores[c] >= scores[c - 1]) && (c + 1 == scores.size() || scores[c] >= scores[c + 1]))
                peaks.push_back(c);
        std::sort(peaks.begin(), peaks.end(), [&](std::size_t a, std::size_t b) { return scores[a] > scores[b]; });
        peaks.resize(std::min<std::size_t>(peaks.size(), 8));
        std::vector<long long> candidates;
        for (const std::size_t c : peaks)
            if (scores[c] >= scores[peaks.front()] - 0.02)
                candidates.push_back((from + (long long)c) * kDecimation);
        long long at = -1;
        double score = -1.0;
        refine(work, p, candidates, &at, &score);
        if (score > found.score) {
            found = {p.ref->name, onset, at, score};
            *best = &p;
        }
    }
    return found;
}

void SoundMatcher::refine(const Work& work, const Prepared& p, const std::vector<long long>& candidates, long long* at,
                          double* score) const
{
    for (const long long c : candidates)
        for (long long k = c - kDecimation; k <= c + kDecimation; ++k) {
            const double s = ncc(work.signal, k, p.ref->samples);
            if (s > *score) {
                *score = s;
                *at = k;
            }
        }
}

double SoundMatcher::subtract(Work& work, const HeardSound& found, const Prepared& p) const
{
    const std::vector<float>& r = p.ref->samples;
    const long long n = std::min<long long>((long long)r.size(), (long long)work.signal.size() - found.start);
    // The gain it was played with; whatever was heard together with it
    // stays and is found from the same onset.
    double dot = 0.0, refEnergy = 0.0;
    for (long long i = 0; i < n; ++i) {
        dot += double(work.signal[std::size_t(found.start + i)]) * r[std::size_t(i)];
        refEnergy += double(r[std::size_t(i)]) * r[std::size_t(i)];
    }
    const double gain = refEnergy > 0.0 ? dot / refEnergy : 0.0;
    for (long long i = 0; i < n; ++i)
        work.signal[std::size_t(found.start + i)] -= float(gain * r[std::size_t(i)]);
    for (long long j = found.start / kDecimation;
         j <= (found.start + n) / kDecimation && j < (long long)work.coarse.size(); ++j) {
        float sum = 0.0f;
        for (int k = 0; k < kDecimation; ++k)
            sum += work.signal[std::size_t(j * kDecimation + k)];
        work.coarse[std::size_t(j)] = sum / kDecimation;
    }

    // Within 5 ms of each sample, what is left of the sound is a small part
    // of its own level there; what stands out above that is heard.
    const long long reach = m_rate / 200;
    const long long blocks = (n + reach - 1) / reach;
    std::vector<float> blockPeak(std::size_t(blocks), 0.0f);
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
        float& f = work.floor[std::size_t(found.start + i)];
        f = std::max(f, kLeftOver * around);
    }
    return gain;
}

void SoundMatcher::gaps(const std::vector<float>& recording, const HeardSound& found, const Prepared& p, double gain,
                        std::vector<HeardSound>* out) const
{
    const std::vector<float>& r = p.ref->samples;
    const long long n = std::min<long long>((long long)r.size(), (long long)recording.size() - found.start);
    // A millisecond of exact silence: nothing was played there.
    const long long minRun = m_rate / 1000;
    for (long long i = 0; i < n;) {
        if (recording[std::size_t(found.start + i)] != 0.0f) {
            ++i;
            continue;
        }
        long long end = i;
        bool audible = false;
        while (end < n && recording[std::size_t(found.start + end)] == 0.0f) {
            audible = audible || std::fabs(float(gain) * r[std::size_t(end)]) > m_level;
            ++end;
        }
        if (audible && end - i >= minRun)
            out->push_back({QStringLiteral("gap"), found.start + i, found.start + end, 0.0});
        i = end;
    }
}

std::vector<HeardSound> SoundMatcher::find(const std::vector<float>& recording, double minScore) const
{
    Work work{recording, decimate(recording), std::vector<float>(recording.size(), m_level), {}};
    for (const ReferenceSound& r : m_refs) {
        if (r.samples.empty())
            continue;
        Prepared p{&r, decimate(r.samples), firstAbove(r.samples, m_level), firstAbove(r.samples, m_level / kMinGain)};
        if (p.firstLoud < 0)
            continue;
        if (p.firstQuiet < 0)
            p.firstQuiet = p.firstLoud;
        work.refs.push_back(std::move(p));
    }

    std::vector<HeardSound> heard, silences;
    long long pos = 0;
    while (true) {
        const long long onset = firstAbove(work.signal, pos, work.floor);
        if (onset < 0)
            break;
        const Prepared* best = nullptr;
        const HeardSound found = search(work, onset, &best);
        if (!best || found.score < minScore || found.start < 0 || found.start >= (long long)recording.size()) {
            // Unknown: reported once, and passed over up to 20 ms of silence.
            heard.push_back({QStringLiteral("?"), onset, onset, found.score});
            pos = onset + 1;
            for (long long quiet = 0; pos < (long long)work.signal.size() && quiet < m_rate / 50; ++pos)
                quiet = std::fabs(work.signal[std::size_t(pos)]) > work.floor[std::size_t(pos)] ? 0 : quiet + 1;
            continue;
        }
        heard.push_back(found);
        const double gain = subtract(work, found, *best);
        gaps(recording, found, *best, gain, &silences);
        pos = onset;
    }

    // A silence across two sounds heard together is one gap.
    std::sort(silences.begin(), silences.end(),
              [](const HeardSound& a, const HeardSound& b) { return a.onset < b.onset; });
    long long lastEnd = -1;
    for (const HeardSound& g : silences) {
        if (g.onset >= lastEnd)
            heard.push_back(g);
        lastEnd = std::max(lastEnd, g.start);
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
