// The generated cue sounds and splash picture in Resources/: present under
// their exact names, sounds as mono 16-bit PCM WAV of a fitting length, the
// picture as PNG data of 550 x 387.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path resourcesDir()
{
    const char* source = std::getenv("QUORVEL_SOURCE_DIR");
    return fs::path(source ? source : ".") / "Resources";
}

Bytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t le(const Bytes& b, std::size_t at, int size)
{
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | b[at + i];
    return v;
}

std::uint32_t be32(const Bytes& b, std::size_t at)
{
    return (std::uint32_t(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

bool tagAt(const Bytes& b, std::size_t at, const char* tag)
{
    return b.size() >= at + 4 && std::equal(tag, tag + 4, b.begin() + at);
}

struct Wav {
    std::string error; // empty when the header is sound
    unsigned format = 0, channels = 0, rate = 0, bits = 0;
    double seconds = 0;
};

// Walks the RIFF chunks: needs a PCM "fmt " chunk before a "data" chunk that
// lies wholly inside the file.
Wav parseWav(const Bytes& b)
{
    Wav w;
    if (!tagAt(b, 0, "RIFF") || !tagAt(b, 8, "WAVE"))
        return {"not RIFF/WAVE"};
    bool haveFmt = false;
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::uint32_t size = le(b, at + 4, 4);
        const std::size_t body = at + 8;
        if (tagAt(b, at, "fmt ")) {
            if (size < 16 || body + 16 > b.size())
                return {"short fmt chunk"};
            w.format = le(b, body, 2);
            w.channels = le(b, body + 2, 2);
            w.rate = le(b, body + 4, 4);
            w.bits = le(b, body + 14, 2);
            const std::uint32_t byteRate = le(b, body + 8, 4);
            const std::uint32_t blockAlign = le(b, body + 12, 2);
            if (w.format != 1)
                return {"not PCM"};
            if (w.channels == 0 || blockAlign != w.channels * w.bits / 8 || byteRate != w.rate * blockAlign)
                return {"inconsistent fmt chunk"};
            haveFmt = true;
        } else if (tagAt(b, at, "data")) {
            if (!haveFmt)
                return {"data before fmt"};
            if (body + size > b.size())
                return {"data chunk runs past the end of the file"};
            if (size == 0)
                return {"empty data chunk"};
            w.seconds = double(size) / (w.rate * w.channels * w.bits / 8);
            return w;
        }
        at = body + size + (size & 1);
    }
    return {"no data chunk"};
}

struct SoundCase {
    const char* name;
    double minSeconds, maxSeconds;
};

constexpr SoundCase kSounds[] = {
    {"s0", 0.3, 0.7}, {"s1", 0.3, 0.7}, {"s2", 0.3, 0.7}, {"s3", 0.3, 0.7},
    {"s4", 0.3, 0.7}, {"s5", 0.3, 0.7}, {"s6", 0.3, 0.7}, {"s7", 0.3, 0.7},
    {"s8", 0.3, 0.7}, {"s9", 0.3, 0.7},
    {"Click", 0.002, 0.05},
    {"ding2", 0.2, 0.5},
};

TEST(Resources, SoundsAreShortMonoPcmWav)
{
    for (const SoundCase& c : kSounds) {
        SCOPED_TRACE(c.name);
        const fs::path path = resourcesDir() / c.name;
        if (!fs::is_regular_file(path)) {
            ADD_FAILURE() << "missing " << path;
            continue;
        }
        const Wav w = parseWav(readFile(path));
        if (!w.error.empty()) {
            ADD_FAILURE() << w.error;
            continue;
        }
        EXPECT_EQ(w.channels, 1u);
        EXPECT_EQ(w.bits, 16u);
        EXPECT_EQ(w.rate, 44100u) << "the sound server's rate: played and recorded without resampling";
        EXPECT_GE(w.seconds, c.minSeconds);
        EXPECT_LE(w.seconds, c.maxSeconds);
    }
}

TEST(Resources, SplashIsPngOf550By387)
{
    const fs::path path = resourcesDir() / "NewSplash.pct";
    ASSERT_TRUE(fs::is_regular_file(path)) << path;
    const Bytes b = readFile(path);
    const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    ASSERT_GE(b.size(), 24u);
    ASSERT_TRUE(std::equal(signature.begin(), signature.end(), b.begin()));
    ASSERT_TRUE(tagAt(b, 12, "IHDR"));
    EXPECT_EQ(be32(b, 16), 550u);
    EXPECT_EQ(be32(b, 20), 387u);
}

// A header of 0.5 s of mono 16-bit 22050 Hz audio, then the faults the
// resource check must not let through.
Bytes wavBytes(std::uint16_t format, std::uint32_t dataSize, std::uint32_t dataPresent)
{
    Bytes b;
    auto put = [&b](std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            b.push_back(std::uint8_t(v >> (8 * i)));
    };
    auto tag = [&b](const char* t) {
        for (int i = 0; i < 4; ++i)
            b.push_back(std::uint8_t(t[i]));
    };
    tag("RIFF"); put(36 + dataPresent, 4); tag("WAVE");
    tag("LIST"); put(3, 4); put(0, 4);  // odd-sized chunk with its pad byte
    tag("fmt "); put(16, 4); put(format, 2); put(1, 2); put(22050, 4); put(44100, 4); put(2, 2); put(16, 2);
    tag("data"); put(dataSize, 4);
    b.resize(b.size() + dataPresent);
    return b;
}

TEST(Resources, WavHeaderCheckRejectsFaults)
{
    const Wav good = parseWav(wavBytes(1, 22050, 22050));
    EXPECT_EQ(good.error, "");
    EXPECT_DOUBLE_EQ(good.seconds, 0.5);

    Bytes noData = wavBytes(1, 0, 0);
    noData.resize(noData.size() - 8);
    struct Case {
        const char* name;
        Bytes bytes;
    } const cases[] = {
        {"float samples", wavBytes(3, 22050, 22050)},
        {"truncated data", wavBytes(1, 22050, 1000)},
        {"empty data", wavBytes(1, 0, 0)},
        {"no data chunk", noData},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(parseWav(c.bytes).error, "");
    }
}

} // namespace
