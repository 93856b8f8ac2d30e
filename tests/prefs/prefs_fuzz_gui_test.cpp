// A thousand random and mutated preferences files through both windows'
// readers, each written back by the Preferences window's "OK": nothing
// crashes, the written file always has exactly 17 fields with no TAB, CR or
// LF inside one, and the sliders and key codes are what the conversion and
// the sliders' range make of the file's fields.
#include "estimation/window1.h"
#include "framework/core/text.h"
#include "prefs/core/pest_prefs.h"
#include "prefs/window2.h"
#include "tests/prefs/file_fuzzer.h"
#include "tests/prefs/prefs_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using quorvel::test::readPrefs;
using quorvel::test::writePrefs;

class PrefsFuzz : public quorvel::test::PrefsTest {};

TEST_F(PrefsFuzz, ThousandFilesThroughBothReadersAndBack)
{
    writePrefs(quorvel::test::kDefaultPrefs);
    Window1* main = Window1::instance();
    quorvel::test::FileFuzzer fuzz(77);
    int withHeader = 0;
    for (int i = 0; i < 1000; ++i) {
        SCOPED_TRACE(i);
        const QByteArray bytes = fuzz.next();
        writePrefs(bytes);
        const QString file = QString::fromUtf8(bytes);
        // A file over 64 KiB is not read, whatever its head says.
        const bool header = prefs::hasHeader(file) && bytes.size() <= 64 * 1024;
        withHeader += header;
        auto whole = [&](int n) { return fw::CInt32(fw::CDbl(fw::NthField(file, QStringLiteral("\t"), n))); };
        auto volume = [&](int n) { return std::clamp(whole(n), 0, 100); };

        const std::int32_t keysBefore[] = {main->successkey, main->failkey};
        main->loadprefs();
        ASSERT_EQ(readPrefs(), bytes) << "the main window's reader changed the file";
        if (header) {
            ASSERT_EQ(main->Slider1()->Value(), volume(5));
            ASSERT_EQ(main->Slider2()->Value(), volume(6));
            ASSERT_EQ(main->Slider3()->Value(), volume(7));
            ASSERT_EQ(main->successkey, whole(8));
            ASSERT_EQ(main->failkey, whole(9));
        } else {
            ASSERT_EQ(main->successkey, keysBefore[0]);
            ASSERT_EQ(main->failkey, keysBefore[1]);
        }

        Window2* dialog = Window2::instance();
        ASSERT_EQ(readPrefs(), bytes) << "the dialog's reader changed the file";
        if (header) {
            ASSERT_EQ(dialog->Slider1()->Value(), volume(5));
            ASSERT_EQ(dialog->Slider2()->Value(), volume(6));
            ASSERT_EQ(dialog->Slider3()->Value(), volume(7));
            ASSERT_EQ(dialog->tempsuccesskey, whole(8));
            ASSERT_EQ(dialog->tempfailkey, whole(9));
            ASSERT_EQ(dialog->EditField1()->Text(), fw::NthField(file, QStringLiteral("\t"), 2));
        }
        dialog->PushButton4()->click();
        ASSERT_TRUE(dialog->closed());

        const QByteArray written = readPrefs();
        const QList<QByteArray> fields = written.split('\t');
        ASSERT_EQ(fields.size(), 17) << written.left(200).toStdString();
        ASSERT_FALSE(written.contains('\r') || written.contains('\n'));
        ASSERT_EQ(fields.first(), QByteArray("PESTPREFS"));
        ASSERT_EQ(fields.last(), QByteArray("ENDOFFILE"));
        if (header) {
            ASSERT_EQ(fields[4].toInt(), volume(5));
            ASSERT_EQ(fields[7].toLongLong(), whole(8));
            ASSERT_EQ(fields[8].toLongLong(), whole(9));
        }
        // What "OK" wrote reads back unchanged through the dialog.
        Window2* again = Window2::instance();
        ASSERT_EQ(prefs::encode(*prefs::decode(QString::fromUtf8(written))).toUtf8(), written);
        again->PushButton5()->click();
        ASSERT_EQ(readPrefs(), written);
    }
    EXPECT_GT(withHeader, 300);
}

} // namespace
