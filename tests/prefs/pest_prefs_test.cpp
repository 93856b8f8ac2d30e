// The preferences record: the default file, the round trip, the blanks that
// stand in for TAB, CR and LF, decoding short, odd and foreign files, and
// 100,000 random and mutated files through the codec.
#include "prefs/core/pest_prefs.h"

#include "framework/core/text.h"
#include "tests/prefs/file_fuzzer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>


namespace {

using prefs::PestPrefs;

const QByteArray& kDefaultFile = quorvel::test::kDefaultPrefs;

QString text(const char* s)
{
    return QString::fromUtf8(s);
}

TEST(PrefsRecord, DefaultIsTheSixtyFourByteFile)
{
    const QString encoded = prefs::encode(PestPrefs::defaults());
    EXPECT_EQ(encoded.toUtf8(), kDefaultFile);
    EXPECT_EQ(encoded.toUtf8().size(), 64);
    const QStringList pieces = prefs::encodePieces(PestPrefs::defaults());
    ASSERT_EQ(pieces.size(), 17) << "one Write per field";
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(pieces[i].endsWith(u'\t')) << "field " << i + 1;
    EXPECT_EQ(pieces[16], QStringLiteral("ENDOFFILE")) << "nothing after the trailer";
}

TEST(PrefsRecord, EveryValueComesBack)
{
    PestPrefs r;
    r.initialOutput = QStringLiteral("62.5");
    r.stepSize = QString();  // an empty field stays empty
    r.diffThreshold = QString::fromUtf8("abc µ");
    r.voiceVolume = 37;
    r.signalVolume = 0;
    r.clickVolume = 100;
    r.successKey = 32;
    r.failKey = 127;
    r.successAll = true;
    r.failAll = false;
    r.lowBound = QStringLiteral("-3");
    r.upBound = QStringLiteral("1e3");
    r.spread = QStringLiteral("  7");
    r.mlDiffThreshold = QStringLiteral("0.2");
    r.useMaxLikelihood = true;
    const std::optional<PestPrefs> back = prefs::decode(prefs::encode(r));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, r);
    EXPECT_EQ(*prefs::decode(prefs::encode(PestPrefs::defaults())), PestPrefs::defaults());
}

TEST(PrefsRecord, TabsAndLineEndsInAFieldAreWrittenAsBlanks)
{
    PestPrefs r = PestPrefs::defaults();
    r.initialOutput = text("5\t0");
    r.stepSize = text("7\r");
    r.diffThreshold = text("\n.45");
    r.mlDiffThreshold = text("\r\n\t");
    const QString encoded = prefs::encode(r);
    EXPECT_EQ(encoded.count(u'\t'), 16);
    EXPECT_FALSE(encoded.contains(u'\r') || encoded.contains(u'\n'));
    const std::optional<PestPrefs> back = prefs::decode(encoded);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->initialOutput, text("5 0"));
    EXPECT_EQ(back->stepSize, text("7 "));
    EXPECT_EQ(back->diffThreshold, text(" .45"));
    EXPECT_EQ(back->mlDiffThreshold, text("   "));
    EXPECT_EQ(back->voiceVolume, 0) << "no later field has moved";
    EXPECT_EQ(back->successKey, 121);
    EXPECT_FALSE(back->useMaxLikelihood);
}

TEST(PrefsRecord, HeaderTest)
{
    struct Case {
        const char* name;
        const char* file;
        bool accepted;
    };
    const Case cases[] = {
        {"the default file", kDefaultFile.constData(), true},
        {"the header alone", "PESTPREFS", true},
        {"letter case does not matter", "pestPrefs\t50", true},
        {"a trailing blank", "PESTPREFS \t50", false},
        {"a leading blank", " PESTPREFS\t50", false},
        {"one letter short", "PESTPREF\t50", false},
        {"a line end after the header", "PESTPREFS\r\t50", false},
        {"an empty file", "", false},
        {"another file", "#    SETTING  ROUND MEP   DIFF", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(prefs::hasHeader(text(c.file)), c.accepted);
        EXPECT_EQ(prefs::decode(text(c.file)).has_value(), c.accepted);
    }
}

TEST(PrefsRecord, ShortFileGivesEmptyFieldsAndZeros)
{
    const std::optional<PestPrefs> r = prefs::decode(text("PESTPREFS\t50"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->initialOutput, text("50"));
    for (const QString* f : {&r->stepSize, &r->diffThreshold, &r->lowBound, &r->upBound, &r->spread,
                             &r->mlDiffThreshold})
        EXPECT_TRUE(f->isEmpty());
    EXPECT_EQ(r->voiceVolume, 0);
    EXPECT_EQ(r->signalVolume, 0);
    EXPECT_EQ(r->clickVolume, 0);
    EXPECT_EQ(r->successKey, 0);
    EXPECT_EQ(r->failKey, 0);
    EXPECT_FALSE(r->successAll || r->failAll || r->useMaxLikelihood);
}

TEST(PrefsRecord, LineEndAfterTheTrailerChangesNothing)
{
    for (const char* end : {"\n", "\r", "\r\n"}) {
        SCOPED_TRACE(end[0] == '\n' ? "LF" : (end[1] ? "CRLF" : "CR"));
        EXPECT_EQ(prefs::decode(QString::fromUtf8(kDefaultFile + end)), PestPrefs::defaults());
    }
}

TEST(PrefsRecord, FlagsAndNumbers)
{
    struct Case {
        const char* field;
        bool flag;
        std::int32_t number;  // what CDbl and the Int32 conversion make of it
    };
    const Case cases[] = {
        {"1", true, 1},
        {"0", false, 0},
        {"", false, 0},
        {"yes", false, 0},
        {"1 ", false, 1},
        {"01", false, 1},
        {"true", false, 0},
        {"127", false, 127},
        {"65.4", false, 65},
        {"65.5", false, 66},
        {"-5", false, -5},
        {"1e400", false, 0},
        {"nan", false, 0},
        {"inf", false, 0},
        {"999999999999", false, 2147483647},
        {"-999999999999", false, -2147483647 - 1},
        {"0x41", false, 0},
        {" 42abc", false, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        // The field in every flag place and every number place at once.
        QStringList fields(17, text(c.field));
        fields[0] = QStringLiteral("PESTPREFS");
        const std::optional<PestPrefs> r = prefs::decode(fields.join(u'\t'));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->successAll, c.flag);
        EXPECT_EQ(r->failAll, c.flag);
        EXPECT_EQ(r->useMaxLikelihood, c.flag);
        for (std::int32_t n : {r->voiceVolume, r->signalVolume, r->clickVolume, r->successKey, r->failKey})
            EXPECT_EQ(n, c.number);
        EXPECT_EQ(r->initialOutput, text(c.field)) << "text fields stay as they stand";
    }
}

// Random and mutated files: whatever a file holds, decoding it and writing
// it back gives a file of exactly 17 fields with no line end, whose numbers
// are what the conversion makes of the file's fields, and which reads back
// as written.
TEST(PrefsRecord, RandomAndMutatedFiles)
{
    quorvel::test::FileFuzzer fuzz(20240607);
    int decoded = 0;
    for (int i = 0; i < 100'000; ++i) {
        const QByteArray bytes = fuzz.next();
        const QString file = QString::fromUtf8(bytes);  // as ReadAll gives it
        const std::optional<PestPrefs> r = prefs::decode(file);
        ASSERT_EQ(r.has_value(), prefs::hasHeader(file));
        if (!r)
            continue;
        ++decoded;
        const auto whole = [&](int n) { return fw::CInt32(fw::CDbl(fw::NthField(file, QStringLiteral("\t"), n))); };
        ASSERT_EQ(r->voiceVolume, whole(5));
        ASSERT_EQ(r->failKey, whole(9));

        const QString written = prefs::encode(*r);
        ASSERT_EQ(written.split(u'\t').size(), 17) << "file " << i;
        ASSERT_FALSE(written.contains(u'\r') || written.contains(u'\n')) << "file " << i;
        ASSERT_TRUE(written.endsWith(QStringLiteral("\tENDOFFILE")));
        const std::optional<PestPrefs> back = prefs::decode(QString::fromUtf8(written.toUtf8()));
        ASSERT_TRUE(back);
        PestPrefs cleaned = *r;
        for (QString* f : {&cleaned.initialOutput, &cleaned.stepSize, &cleaned.diffThreshold, &cleaned.lowBound,
                           &cleaned.upBound, &cleaned.spread, &cleaned.mlDiffThreshold})
            *f = prefs::fieldText(*f);
        ASSERT_EQ(*back, cleaned) << "file " << i;
    }
    EXPECT_GT(decoded, 30'000) << "most files should pass the header test, or the fuzzer tests little";
}

} // namespace
