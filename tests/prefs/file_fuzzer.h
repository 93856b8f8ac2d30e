#pragma once

// Preferences files for fuzz tests: random bytes, the default file with a
// few random edits, and files of random fields (NUL, invalid UTF-8, line
// ends, fields of 100 kB, thousands of TABs, numbers such as "1e400",
// "-5", "nan" and "999999999999"). The same seed gives the same files.

#include "tests/prefs/default_prefs.h"

#include <QByteArray>

#include <iterator>
#include <random>

namespace quorvel::test {

class FileFuzzer {
public:
    explicit FileFuzzer(std::uint32_t seed) : m_rng(seed) {}

    QByteArray next()
    {
        switch (pick(6)) {
        case 0: return randomBytes(pick(200));
        case 1: return mutated(kDefaultPrefs);
        case 2: return withFields(false);
        case 3: return withFields(true);
        case 4: return mutated(withFields(false));
        default: return QByteArray("PESTPREFS") + QByteArray(pick(5000), '\t') + randomBytes(pick(20));
        }
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

    QByteArray randomBytes(int n)
    {
        QByteArray b(n, '\0');
        for (char& c : b)
            c = static_cast<char>(pick(256));
        return b;
    }

    QByteArray oddField()
    {
        static const char* const odd[] = {
            "", "0", "1", "-5", "nan", "NaN", "inf", "-inf", "1e400", "-1e400", "999999999999", "2147483648",
            "-2147483649", "50.5", "-0.5", ".45", "1e-400", " 7", "7 ", "\r", "\n", "\r\n", "ENDOFFILE",
            "PESTPREFS", "\xC3\x28", "\xFF\xFE", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82",
        };
        switch (pick(5)) {
        case 0: return QByteArray(odd[pick(std::size(odd))]);
        case 1: return QByteArray::number(pick(300) - 100);
        case 2: return QByteArray(pick(40) ? pick(1000) : 100'000, static_cast<char>('0' + pick(10)));
        case 3: return QByteArray(pick(40), '\0') + randomBytes(pick(8));
        default: return randomBytes(pick(12));
        }
    }

    QByteArray withFields(bool extra)
    {
        QByteArray out = pick(10) ? QByteArray("PESTPREFS") : oddField();
        const int n = extra ? 17 + pick(40) : pick(18);
        for (int i = 1; i < n; ++i)
            out += '\t' + oddField();
        return out;
    }

    QByteArray mutated(QByteArray b)
    {
        const int edits = 1 + pick(6);
        for (int i = 0; i < edits && !b.isEmpty(); ++i) {
            const int at = pick(int(b.size()));
            switch (pick(4)) {
            case 0: b[at] = static_cast<char>(pick(256)); break;
            case 1: b.remove(at, 1 + pick(8)); break;
            case 2: b.insert(at, pick(2) ? QByteArray("\t") : oddField()); break;
            default: b.insert(at, pick(2) ? QByteArray("\r\n") : QByteArray(1, '\0')); break;
            }
        }
        return b;
    }

    std::mt19937 m_rng;
};

} // namespace quorvel::test
