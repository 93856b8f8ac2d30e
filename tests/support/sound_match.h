#pragma once

// Finds known sounds in a recording: each sound that starts in it is matched
// against reference sounds (the program's own cue files) by normalised
// cross-correlation, identified as the best, and taken out of the recording
// before the search goes on, so a sound that started together with it is
// found next.

#include <QString>
#include <QStringList>

#include <vector>

namespace quorvel::test {

// A reference sound, mixed to one channel at the recording's rate.
struct ReferenceSound {
    QString name;
    std::vector<float> samples;
};

// Decodes a sound file and brings it to `rate` (linear interpolation); an
// empty reference when the file cannot be decoded.
ReferenceSound loadReferenceSound(const QString& path, const QString& name, int rate);

// A sound found in a recording. `onset`: the first sample where it is heard;
// `start`: where the reference's first sample lies; `score`: the normalised
// cross-correlation with it (1 is a perfect match); `name` "?" when no
// reference matches. A stretch of silence inside a sound already found (the
// player fell behind and the sound server played nothing) is reported as a
// "gap" from `onset` to `start`.
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
    std::vector<HeardSound> find(const std::vector<float>& recording, double minScore = 0.8) const;

private:
    std::vector<ReferenceSound> m_refs;
    int m_rate;
    float m_level;
};

// The names of the sounds heard, in order.
QStringList names(const std::vector<HeardSound>& heard);

} // namespace quorvel::test
