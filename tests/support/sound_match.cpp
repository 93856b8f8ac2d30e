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

// Normalised cross-correlation of `ref` with `x` starting at `at`, over the
// samples of `x` that are not missing; the part of the reference past the
// end of `x` counts as silence.
double ncc(const std::vector<float>& x, const std::vector<char>& missing, long long at, const std::vector<float>& ref)
{
    if (at < 0)
        return 0.0;
    double dot = 0.0, energy = 0.0, refEnergy = 0.0;
    const long long n = std::min<long long>(ref.size(), (long long)x.size() - at);
    for (long long i = 0; i < n; ++i) {
        if (missing[std::size_t(at + i)])
            continue;
        const double v = x[std::size_t(at + i)], r = ref[std::size_t(i)];
        dot += v * r;
        energy += v * v;
        refEnergy += r * r;
    }
    for (long long i = std::max(0LL, n); i < (long long)ref.size(); ++i)
        refEnergy += double(ref[std::size_t(i)]) * ref[std::size_t(i)];
    return energy > 0.0 && refEnergy > 0.0 ? dot / std::sqrt(energy * refEnergy) : 0.0;
}

// Stretches of exact digital silence at least `minRun` long: where the sound
// server had nothing to play.
std::vector<char> silentRuns(const std::vector<float>& x, long long minRun)
{
    std::vector<char> out(x.size(), 0);
    const long long n = (long long)x.size();
    for (long long i = 0; i < n;) {
        if (x[std::size_t(i)] != 0.0f) {
            ++i;
            continue;
        }
        long long end = i;
        while (end < n && x[std::size_t(end)] == 0.0f)
            ++end;
        if (end - i >= minRun)
            std::fill(out.begin() + i, out.begin() + end, char(1));
        i = end;
    }
    return out;
}

std::vector<char> decimateMask(const std::vector<char>& m)
{
    std::vector<char> y(m.size() / kDecimation, 0);
    for (std::size_t j = 0; j < y.size(); ++j)
        for (int k = 0; k < kDecimation; ++k)
            y[j] = char(y[j] | m[j * kDecimation + std::size_t(k)]);
    return y;
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
        Prepared p{&r, decimate(r.samples), firstAbove(r.samples, 0, m_level),
                   firstAbove(r.samples, 0, m_level / kMinGain)};
        if (p.firstLoud < 0)
            continue;
        if (p.firstQuiet < 0)
            p.firstQuiet = p.firstLoud;
        refs.push_back(std::move(p));
    }

    std::vector<float> work = recording;
    std::vector<float> coarse = decimate(work);
    // A millisecond of exact silence is where the sound server had nothing
    // to play; inside a sound it is a dropout, and takes no part in matching.
    const std::vector<char> missing = silentRuns(recording, m_rate / 1000);
    const std::vector<char> coarseMissing = decimateMask(missing);
    // What counts as heard: the level, raised where a sound was taken out so
    // that what is left of it does not count as a sound of its own.
    std::vector<float> floor(work.size(), m_level);
    std::vector<HeardSound> heard, gaps;
    const long long slack = m_rate / 500;  // 2 ms
    long long pos = 0;
    while (true) {
        const long long onset = firstAbove(work, pos, floor);
        if (onset < 0)
            break;
        HeardSound best{QStringLiteral("?"), onset, onset, 0.0};
        const Prepared* bestRef = nullptr;
        for (const Prepared& p : refs) {
            const long long from = std::max(0LL, (onset - p.firstQuiet - slack) / kDecimation);
            const long long to = (onset - p.firstLoud + slack) / kDecimation;
            if (to < from)
                continue;
            std::vector<double> scores;
            for (long long j = from; j <= to; ++j)
                scores.push_back(ncc(coarse, coarseMissing, j, p.coarse));
            // A tone's correlation peaks once a period with nearly equal
            // heights, and the coarse signal can rank them wrongly: the
            // highest few peaks are refined at the full rate.
            std::vector<std::size_t> peaks;
            for (std::size_t c = 0; c < scores.size(); ++c)
                if ((c == 0 || scores[c] >= scores[c - 1]) && (c + 1 == scores.size() || scores[c] >= scores[c + 1]))
                    peaks.push_back(c);
            std::sort(peaks.begin(), peaks.end(), [&](std::size_t a, std::size_t b) { return scores[a] > scores[b]; });
            peaks.resize(std::min<std::size_t>(peaks.size(), 8));
            long long fineAt = -1;
            double fine = -1.0;
            for (const std::size_t c : peaks) {
                if (scores[c] < scores[peaks.front()] - 0.02)
                    continue;
                const long long at = (from + (long long)c) * kDecimation;
                for (long long k = at - kDecimation; k <= at + kDecimation; ++k) {
                    const double s = ncc(work, missing, k, p.ref->samples);
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
        const std::vector<float>* r = bestRef ? &bestRef->ref->samples : nullptr;
        const long long n = r ? std::min<long long>(r->size(), (long long)work.size() - best.start) : 0;
        if (!bestRef || best.score < minScore || best.start < 0 || n <= 0) {
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
        double dot = 0.0, refEnergy = 0.0;
        for (long long i = 0; i < n; ++i) {
            if (missing[std::size_t(best.start + i)])
                continue;
            dot += double(work[std::size_t(best.start + i)]) * (*r)[std::size_t(i)];
            refEnergy += double((*r)[std::size_t(i)]) * (*r)[std::size_t(i)];
        }
        const double gain = refEnergy > 0.0 ? dot / refEnergy : 0.0;
        for (long long i = 0; i < n; ++i)
            if (!missing[std::size_t(best.start + i)])
                work[std::size_t(best.start + i)] -= float(gain * (*r)[std::size_t(i)]);
        for (long long j = best.start / kDecimation; j <= (best.start + n) / kDecimation && j < (long long)coarse.size();
             ++j) {
            float sum = 0.0f;
            for (int k = 0; k < kDecimation; ++k)
                sum += work[std::size_t(j * kDecimation + k)];
            coarse[std::size_t(j)] = sum / kDecimation;
        }

        // The dropouts inside it: silence where it should have sounded.
        for (long long i = 0; i < n;) {
            if (!missing[std::size_t(best.start + i)]) {
                ++i;
                continue;
            }
            long long end = i;
            bool audible = false;
            while (end < n && missing[std::size_t(best.start + end)]) {
                audible = audible || std::fabs(float(gain) * (*r)[std::size_t(end)]) > m_level;
                ++end;
            }
            if (audible)
                gaps.push_back({QStringLiteral("gap"), best.start + i, best.start + end, 0.0});
            i = end;
        }

        // Within 5 ms of each sample, what is left of the sound is a small
        // part of its own level there; what stands out above that is heard.
        const long long reach = m_rate / 200;
        const long long blocks = (n + reach - 1) / reach;
        std::vector<float> blockPeak(std::size_t(blocks), 0.0f);
        for (long long i = 0; i < n; ++i)
            blockPeak[std::size_t(i / reach)] =
                std::max(blockPeak[std::size_t(i / reach)], std::fabs(float(gain) * (*r)[std::size_t(i)]));
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

    // A dropout across two sounds heard together is one dropout.
    std::sort(gaps.begin(), gaps.end(), [](const HeardSound& a, const HeardSound& b) { return a.onset < b.onset; });
    long long lastEnd = -1;
    for (const HeardSound& g : gaps) {
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
