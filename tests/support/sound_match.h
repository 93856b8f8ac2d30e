#pragma once

// Finds known sounds in a recording: each sound that starts in it is matched
// against reference sounds (the program's own cue files) by normalised
// cross-correlation, identified as the best, and taken out of the recording
// before the search goes on, so a sound that started together with it is
// found next. The references are at the recording's rate: a sound played
// unchanged cancels to the recording's own noise.

#include <QString>
#include <QStringList>

#include <vector>

namespace quorvel::test {

// A reference sound, mixed to one channel.
struct ReferenceSound {
    QString name;
    std::vector<float> samples;
};

// Decodes a sound file; an empty reference when the file cannot be decoded
// or is not at `rate` (a reference is never resampled: that would hide a
// sound the program plays at the wrong speed).
ReferenceSound loadReferenceSound(const QString& path, const QString& name, int rate);

// A sound found in a recording. `onset`: the first sample where it is heard;
// `start`: where the reference's first sample lies; `score`: the normalised
// cross-correlation with it (1 is a perfect match); `name` "?" when no
// reference matches by the least score. A stretch of exact silence inside a
// sound found, where its reference is audible, is reported as a "gap" from
// `onset` to `start`.
struct HeardSound {
    QString name;
    long long onset = 0;
    long long start = 0;
    double score = 0.0;
};

class SoundMatcher {
public:
    // `level`: the amplitude (of 1) above which a sample is heard.
    SoundMatcher(std::vector<ReferenceSound> references, int rate, float level = 0.02f);

    // Every sound heard in the recording, in order of onset. A stretch that
    // matches no reference by at least `minScore` is reported as "?".
    std::vector<HeardSound> find(const std::vector<float>& recording, double minScore = 0.9) const;

private:
    struct Prepared;
    struct Work;
    // The reference that best explains the sound heard from `onset`, with
    // where it starts, from the coarse signal; nothing when none fits.
    HeardSound search(const Work& work, long long onset, const Prepared** best) const;
    // The best start of `p` at the full rate near coarse candidates.
    void refine(const Work& work, const Prepared& p, const std::vector<long long>& candidates, long long* at,
                double* score) const;
    // Takes the sound out of the work signal at the gain it was played with
    // and raises the floor by what is left of it; returns the gain.
    double subtract(Work& work, const HeardSound& found, const Prepared& p) const;
    // Stretches of exact silence inside the sound where it should be heard.
    void gaps(const std::vector<float>& recording, const HeardSound& found, const Prepared& p, double gain,
              std::vector<HeardSound>* out) const;

    std::vector<ReferenceSound> m_refs;
    int m_rate;
    float m_level;
};

// The names of the sounds heard, in order.
QStringList names(const std::vector<HeardSound>& heard);

} // namespace quorvel::test
