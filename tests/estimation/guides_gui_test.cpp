// The quick reference and the distance correction in the real window: the
// three percentage menus as they open, the six values and the eleven
// colours for typed distances, a changed percentage, the values an estimate
// reached by a key brings, and the "Adjust"/"Continue" button with its focus
// and selection.

#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

namespace {

using quorvel::test::MainWindowTest;

const QColor kBlack(0, 0, 0), kGrey(150, 150, 150);

class Guides : public MainWindowTest {
protected:
    QStringList plain() const
    {
        return {w->StaticText7()->Text(), w->StaticText8()->Text(), w->StaticText9()->Text()};
    }
    QStringList corrected() const
    {
        return {w->StaticText13()->Text(), w->StaticText14()->Text(), w->StaticText15()->Text()};
    }
    void expectColours(bool correctedApplies) const
    {
        const QColor on = correctedApplies ? kBlack : kGrey, off = correctedApplies ? kGrey : kBlack;
        for (fw::Line* l : {w->Line1(), w->Line2(), w->Line3(), w->Line4(), w->Line5()})
            EXPECT_EQ(l->LineColor(), on);
        for (fw::StaticText* t : {w->StaticText13(), w->StaticText14(), w->StaticText15()})
            EXPECT_EQ(t->TextColor(), on);
        for (fw::StaticText* t : {w->StaticText7(), w->StaticText8(), w->StaticText9()})
            EXPECT_EQ(t->TextColor(), off);
    }
};

TEST_F(Guides, MenusOpenWithTheirPercentagesAndTheValuesReadZero)
{
    const struct {
        fw::PopupMenu* menu;
        int chosen;
    } menus[] = {{w->PopupMenu1(), 80}, {w->PopupMenu2(), 100}, {w->PopupMenu3(), 120}};
    for (const auto& m : menus) {
        SCOPED_TRACE(m.chosen);
        ASSERT_EQ(m.menu->ListCount(), 201);
        for (int i = 0; i <= 200; ++i)
            ASSERT_EQ(m.menu->List(i), QString::number(i) + QStringLiteral("%"));
        EXPECT_EQ(m.menu->ListIndex(), m.chosen);
        EXPECT_EQ(m.menu->Text(), QString::number(m.chosen) + QStringLiteral("%"));
    }
    // Choosing a row as each menu opens recomputes the values from an
    // estimate of 0.
    const QStringList zeros{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")};
    EXPECT_EQ(plain(), zeros);
    EXPECT_EQ(corrected(), zeros);
    expectColours(false);
}

TEST_F(Guides, TypedDistancesGiveTheValuesAndColours)
{
    const struct {
        const char* target;
        const char* m1;
        const char* corrected[3];
        bool applies;
    } cases[] = {
        {"20", "15", {"48", "60", "72"}, true},
        {"15", "20", {"33", "42", "50"}, true},
        {"30", "30", {"40", "50", "60"}, true},
        {"5", "-5", {"57", "72", "86"}, false},
        {"", "", {"40", "50", "60"}, false},
        {"0", "0", {"40", "50", "60"}, false},
        {"abc", "12mm", {"26", "32", "39"}, true},  // CDbl: 0 and 12
    };
    w->myrmt = 50;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " / " + c.m1);
        w->EditField6()->setText(QString::fromLatin1(c.target));
        w->EditField7()->setText(QString::fromLatin1(c.m1));
        EXPECT_EQ(plain(), (QStringList{QStringLiteral("40"), QStringLiteral("50"), QStringLiteral("60")}));
        EXPECT_EQ(corrected(), (QStringList{QString::fromLatin1(c.corrected[0]), QString::fromLatin1(c.corrected[1]),
                                           QString::fromLatin1(c.corrected[2])}));
        expectColours(c.applies);
    }
}

TEST_F(Guides, AChangedPercentageRecomputesItsRow)
{
    w->myrmt = 50;
    w->PopupMenu1()->setListIndex(0);
    w->PopupMenu3()->setListIndex(200);
    EXPECT_EQ(plain(), (QStringList{QStringLiteral("0"), QStringLiteral("50"), QStringLiteral("100")}));
    EXPECT_EQ(corrected(), plain());
}

TEST_F(Guides, AReachedEstimateFillsThemAndAnOpenTrialClearsThePlainOnes)
{
    // From 50 with step 7 and threshold 8 the first change (7) reaches the
    // estimate at once: a success gives 43.
    w->EditField6()->setText(QStringLiteral("20"));
    w->EditField7()->setText(QStringLiteral("15"));
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral("8"));
    EXPECT_EQ(plain(), (QStringList{QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("00")}));
    press(QStringLiteral("1"));
    EXPECT_EQ(w->myrmt, 43.0);
    EXPECT_EQ(plain(), (QStringList{QStringLiteral("34"), QStringLiteral("43"), QStringLiteral("52")}));
    // 43 x exp(0.18) = 51.48 at 100 %.
    EXPECT_EQ(corrected(), (QStringList{QStringLiteral("41"), QStringLiteral("51"), QStringLiteral("62")}));
    expectColours(true);  // colours keep their state through Start

    // A change of 8 or more leaves the estimate open: the plain values
    // read "00", the corrected ones stay.
    w->PushButton3_Action(w->PushButton3());
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral("8"));
    press(QStringLiteral("1"));
    w->mydiff = 1;
    press(QStringLiteral("1"));
    EXPECT_EQ(plain(), (QStringList{QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("00")}));
    EXPECT_EQ(corrected(), (QStringList{QStringLiteral("41"), QStringLiteral("51"), QStringLiteral("62")}));
}

TEST_F(Guides, AdjustUnlocksAndSelectsThenContinueLocks)
{
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"));
    ASSERT_TRUE(w->EditField7()->ReadOnly());
    w->EditField7()->setText(QStringLiteral("15"));  // as the operator typed it before
    w->myrmt = 50;

    fw::BevelButton* button = w->BevelButton1();
    ASSERT_EQ(button->Caption(), QStringLiteral("Adjust"));
    w->BevelButton1_Action(button);
    EXPECT_FALSE(w->EditField6()->ReadOnly());
    EXPECT_FALSE(w->EditField7()->ReadOnly());
    EXPECT_TRUE(w->EditField7()->hasFocus());
    EXPECT_EQ(w->EditField7()->SelStart(), 0);
    EXPECT_EQ(w->EditField7()->SelLength(), 2);
    EXPECT_EQ(button->Caption(), QStringLiteral("Continue"));
    EXPECT_EQ(plain(), (QStringList{QStringLiteral("40"), QStringLiteral("50"), QStringLiteral("60")}));

    // The operator types over the selection: 20 mm to M1, 25 mm to target.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("20"));
    EXPECT_EQ(w->EditField7()->Text(), QStringLiteral("20"));
    w->EditField6()->SetFocus();
    w->EditField6()->lineEdit()->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("25"));
    EXPECT_EQ(corrected(), (QStringList{QStringLiteral("48"), QStringLiteral("60"), QStringLiteral("72")}));

    w->myrmt = 60;
    w->BevelButton1_Action(button);
    EXPECT_TRUE(w->EditField6()->ReadOnly());
    EXPECT_TRUE(w->EditField7()->ReadOnly());
    EXPECT_TRUE(w->EditField1()->hasFocus());
    EXPECT_EQ(button->Caption(), QStringLiteral("Adjust"));
    EXPECT_EQ(plain(), (QStringList{QStringLiteral("48"), QStringLiteral("60"), QStringLiteral("72")}));

    // The caption alone decides: "Continue" locks even outside a run, and
    // "Adjust" on editable fields keeps them editable.
    w->PushButton3_Action(w->PushButton3());
    w->BevelButton1_Action(button);
    EXPECT_FALSE(w->EditField7()->ReadOnly());
    EXPECT_EQ(button->Caption(), QStringLiteral("Continue"));
}

} // namespace
