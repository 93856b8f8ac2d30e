#pragma once

#include <QByteArray>

namespace quorvel::test {

// The 64 bytes that a first start writes.
inline const QByteArray kDefaultPrefs =
    "PESTPREFS\t50\t7\t.45\t0\t100\t100\t121\t110\t0\t0\t20\t80\t7\t.45\t0\tENDOFFILE";

} // namespace quorvel::test
