// Several thousand random keys through the main window's key handler, with
// Start, Reset, the method switch, both all-other-keys flags, odd parameter
// texts and announcement timers firing in between: nothing may crash, no
// count may leave its logs, and every announced value stays in range.

#include "framework/core/text.h"
#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using quorvel::test::MainWindowTest;

class TrialFuzz : public MainWindowTest {};

TEST_F(TrialFuzz, RandomKeysAndRunControlKeepEveryInvariant)
{
    std::mt19937 rng(20261210);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const char* texts[] = {"", "50", "7", ".45", "0", "-5", "-0.5", "100", "1e400", "nan", "inf", "abc",
                           "999999999999", "0.0001", "20", "80", "1e308", "-1e308", "  12x", "0x10"};
    const char* keys[] = {"1", "0", "y", "n", "Y", " ", "\r", "\t", "x", "2", "\x7f", "\x1c"};
    auto text = [&] { return QString::fromLatin1(texts[pick(int(std::size(texts)))]); };

    int accepted = 0;
    for (int action = 0; action < 8000; ++action) {
        const int r = pick(100);
        if (r < 4) {
            w->PushButton3_Action(w->PushButton3());
            start(text(), text(), text(), pick(2) == 1);
        } else if (r < 7) {
            w->PushButton3_Action(w->PushButton3());
        } else if (r < 9) {
            w->CheckBox1()->setValue(!w->CheckBox1()->Value());
        } else if (r < 11) {
            w->successall = pick(3) == 0;
            w->failall = pick(3) == 0;
            w->successkey = pick(4) == 0 ? pick(300) - 20 : 49;
            w->failkey = pick(4) == 0 ? pick(300) - 20 : 48;
        } else if (r < 13) {
            w->mydiff2 = fw::CDbl(text());
            w->myspread = fw::CInt32(fw::CDbl(text()));
        } else if (r < 20) {
            for (int t = 0; t < 3; ++t) {
                fireTimers();
                clock.advance(pick(400) * 1000.0);
            }
        } else {
            const int before = w->stepnum;
            press(QString::fromLatin1(keys[pick(int(std::size(keys)))]));
            accepted += w->stepnum != before;
        }
        ASSERT_GE(w->stepnum, 0) << "action " << action;
        ASSERT_LE(w->stepnum, 200) << "action " << action;
        ASSERT_GE(w->nrstimulus, 0) << "action " << action;
        ASSERT_LE(w->nrstimulus, 1000) << "action " << action;
        ASSERT_GE(w->clippedThresh, 0) << "action " << action;
        ASSERT_LE(w->clippedThresh, 101) << "action " << action;
        ASSERT_FALSE(w->StaticText4()->Text().contains(QStringLiteral("nan"))) << "action " << action;
    }
    EXPECT_GT(accepted, 1500) << "the script should run many trials";
}

} // namespace
