#pragma once

// Bytes from a fixed xorshift generator: no header of any sound format, the
// same bytes in every run.

#include <QByteArray>

namespace quorvel::test {

inline QByteArray noiseBytes(int size, quint32 seed = 88172645u)
{
    QByteArray bytes;
    quint32 x = seed;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes.append(char(x & 0xff));
    }
    return bytes;
}

} // namespace quorvel::test
