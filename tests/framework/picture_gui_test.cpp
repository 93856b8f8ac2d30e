// Pictures and their Graphics: one persistent surface per picture, shapes
// in ForeColor where they belong, pen widths, drawing far outside the
// picture, and reading picture files by their content.
#include "framework/picture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <climits>
#include <memory>

namespace {

QString resource(const QString& name)
{
    return qEnvironmentVariable("QUORVEL_SOURCE_DIR", QStringLiteral(".")) + QStringLiteral("/Resources/") + name;
}

const QColor kWhite(255, 255, 255);

QColor at(const fw::Picture& p, int x, int y)
{
    return p.image().pixelColor(x, y);
}

// Pixels of that colour in column x (or row y when horizontal).
int runLength(const fw::Picture& p, int fixed, bool alongColumn, const QColor& colour)
{
    int n = 0;
    const int size = alongColumn ? p.Height() : p.Width();
    for (int i = 0; i < size; ++i)
        n += (alongColumn ? at(p, fixed, i) : at(p, i, fixed)) == colour;
    return n;
}

TEST(Picture, GraphicsIsOnePersistentSurface)
{
    auto pic = fw::NewPicture(40, 30, 32);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->Width(), 40);
    EXPECT_EQ(pic->Height(), 30);
    EXPECT_EQ(at(*pic, 0, 0), kWhite) << "a new picture is white";
    EXPECT_EQ(at(*pic, 39, 29), kWhite);

    fw::Graphics* g = pic->Graphics();
    g->setForeColor(fw::RGB(0, 128, 0));
    g->setPenWidth(3);
    g->setTextSize(20);
    g->setBold(true);
    fw::Graphics* again = pic->Graphics();
    EXPECT_EQ(again, g);
    EXPECT_EQ(again->ForeColor(), QColor(0, 128, 0));
    EXPECT_EQ(again->PenWidth(), 3);
    EXPECT_EQ(again->TextSize(), 20);
    EXPECT_TRUE(again->Bold());
    EXPECT_EQ(again->Width(), 40);
    EXPECT_EQ(again->Height(), 30);

    // Drawing in a later step uses the settings of the earlier one.
    pic->Graphics()->FillRect(5, 5, 4, 4);
    EXPECT_EQ(at(*pic, 6, 6), QColor(0, 128, 0));
}

TEST(Picture, ShapesInForeColorWhereTheyBelong)
{
    const QColor red(200, 0, 0);
    struct Probe {
        int x, y;
        bool inside;
    };
    struct Case {
        const char* name;
        void (*draw)(fw::Graphics*);
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {"FillRect covers x..x+w-1", [](fw::Graphics* g) { g->FillRect(10, 20, 5, 3); },
         {{10, 20, true}, {14, 22, true}, {15, 20, false}, {10, 23, false}, {9, 20, false}, {10, 19, false}}},
        {"FillOval fills its middle, not its box corners", [](fw::Graphics* g) { g->FillOval(20, 20, 20, 10); },
         {{30, 25, true}, {22, 25, true}, {37, 25, true}, {20, 20, false}, {39, 29, false}, {30, 31, false}}},
        {"DrawLine with pen width 1", [](fw::Graphics* g) { g->DrawLine(5, 40, 25, 40); },
         {{5, 40, true}, {15, 40, true}, {25, 40, true}, {15, 39, false}, {15, 41, false}, {26, 40, false}}},
        {"diagonal DrawLine", [](fw::Graphics* g) { g->DrawLine(50, 10, 60, 20); },
         {{50, 10, true}, {55, 15, true}, {60, 20, true}, {60, 10, false}}},
        {"DrawRect outlines", [](fw::Graphics* g) { g->DrawRect(40, 40, 10, 8); },
         {{40, 40, true}, {49, 47, true}, {45, 40, true}, {40, 44, true}, {45, 44, false}, {50, 44, false}}},
        {"negative sizes draw nothing", [](fw::Graphics* g) {
             g->FillRect(10, 10, -5, 5);
             g->FillRect(10, 10, 5, -5);
             g->FillOval(30, 30, -10, -10);
         },
         {{8, 12, false}, {12, 8, false}, {25, 25, false}, {12, 12, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto pic = fw::NewPicture(80, 60, 32);
        ASSERT_NE(pic, nullptr);
        pic->Graphics()->setForeColor(red);
        c.draw(pic->Graphics());
        for (const Probe& p : c.probes) {
            SCOPED_TRACE(testing::Message() << "pixel " << p.x << "," << p.y);
            EXPECT_EQ(at(*pic, p.x, p.y), p.inside ? red : kWhite);
        }
    }
}

TEST(Picture, PenWidthSetsTheLineThickness)
{
    const QColor blue(0, 0, 255);
    for (int width : {1, 2, 3, 5}) {
        SCOPED_TRACE(width);
        auto pic = fw::NewPicture(60, 60, 32);
        fw::Graphics* g = pic->Graphics();
        g->setForeColor(blue);
        g->setPenWidth(width);
        g->setPenHeight(width);
        g->DrawLine(10, 20, 40, 20);  // horizontal
        g->DrawLine(50, 10, 50, 40);  // vertical
        EXPECT_EQ(runLength(*pic, 25, true, blue), width) << "horizontal line thickness";
        EXPECT_EQ(runLength(*pic, 30, false, blue), width) << "vertical line thickness";
        // The pen's top-left corner follows the line.
        EXPECT_EQ(at(*pic, 25, 20), blue);
        EXPECT_EQ(at(*pic, 25, 20 + width - 1), blue);
        EXPECT_EQ(at(*pic, 25, 19), kWhite);
        EXPECT_EQ(at(*pic, 10, 20), blue);
        EXPECT_EQ(at(*pic, 9, 20), kWhite);
        EXPECT_EQ(at(*pic, 40 + width - 1, 20), blue);
        EXPECT_EQ(at(*pic, 40 + width, 20), kWhite);
    }
}

TEST(Picture, DrawingOutsideThePictureDoesNothing)
{
    constexpr int big = INT_MAX, small = INT_MIN;
    struct Case {
        const char* name;
        void (*draw)(fw::Graphics*);
    };
    const Case cases[] = {
        {"FillRect far right", [](fw::Graphics* g) { g->FillRect(big - 2, 5, 10, 10); }},
        {"FillRect far left", [](fw::Graphics* g) { g->FillRect(small, small, 10, 10); }},
        {"FillRect huge size past the limits", [](fw::Graphics* g) { g->FillRect(100, 100, big, big); }},
        {"FillOval far away", [](fw::Graphics* g) { g->FillOval(big - 5, big - 5, big, big); }},
        {"FillOval far left", [](fw::Graphics* g) { g->FillOval(small, small, 20, 20); }},
        {"DrawRect far away", [](fw::Graphics* g) { g->DrawRect(big - 1, big - 1, big, big); }},
        {"DrawLine far away", [](fw::Graphics* g) { g->DrawLine(big, big, big - 100, big); }},
        {"DrawLine between the limits outside", [](fw::Graphics* g) { g->DrawLine(small, -5, big, -5); }},
        {"thick DrawLine far away", [](fw::Graphics* g) {
             g->setPenWidth(4);
             g->DrawLine(small, small, small + 10, small);
         }},
        {"DrawString far away", [](fw::Graphics* g) { g->DrawString(QStringLiteral("far"), big - 1, big - 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto pic = fw::NewPicture(50, 40, 32);
        pic->Graphics()->setForeColor(fw::RGB(0, 0, 0));
        const QImage before = pic->image();
        c.draw(pic->Graphics());
        EXPECT_EQ(pic->image(), before);
    }

    // Shapes that reach into the picture from far away draw their part.
    auto pic = fw::NewPicture(50, 40, 32);
    fw::Graphics* g = pic->Graphics();
    g->setForeColor(fw::RGB(0, 0, 0));
    g->FillRect(small, 10, big, 5);  // ends at -2: nothing
    EXPECT_EQ(at(*pic, 0, 12), kWhite);
    g->FillRect(-1000, 10, 1010, 5);  // ends at 9
    EXPECT_EQ(at(*pic, 0, 12), QColor(0, 0, 0));
    EXPECT_EQ(at(*pic, 9, 12), QColor(0, 0, 0));
    EXPECT_EQ(at(*pic, 10, 12), kWhite);
    g->FillRect(20, 20, big, big);
    EXPECT_EQ(at(*pic, 49, 39), QColor(0, 0, 0));
    EXPECT_EQ(at(*pic, 19, 39), kWhite);
    g->DrawLine(small, 30, big, 30);
    EXPECT_EQ(at(*pic, 0, 30), QColor(0, 0, 0));
    EXPECT_EQ(at(*pic, 15, 30), QColor(0, 0, 0));
    g->setPenWidth(3);
    g->DrawLine(5, small, 5, big);
    EXPECT_EQ(runLength(*pic, 2, false, QColor(0, 0, 0)), 3) << "a thick line across the whole picture";
    // An oval whose middle is the picture's corner, reaching far past it.
    auto huge = fw::NewPicture(50, 40, 32);
    huge->Graphics()->setForeColor(fw::RGB(0, 0, 0));
    huge->Graphics()->FillOval(small / 2, small / 2, big, big);
    EXPECT_EQ(at(*huge, 0, 0), QColor(0, 0, 0));
    EXPECT_EQ(at(*huge, 49, 39), QColor(0, 0, 0));
}

TEST(Picture, SizesThatCannotBeMade)
{
    for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-1, 10}, {10, -1}, {INT_MAX, 1}, {1, INT_MAX}, {40000, 40000}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        EXPECT_EQ(fw::NewPicture(w, h, 32), nullptr);
    }
    EXPECT_NE(fw::NewPicture(1, 1, 32), nullptr);
}

TEST(Picture, FilesAreReadByTheirContent)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString splash = resource(QStringLiteral("NewSplash.pct"));
    // The same PNG data under no extension and under a misleading one.
    for (const char* name : {"splash", "splash.txt"})
        ASSERT_TRUE(QFile::copy(splash, dir.filePath(QString::fromLatin1(name))));
    QFile text(dir.filePath(QStringLiteral("notes.png")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("This is text, not a picture.\n");
    text.close();

    struct Case {
        QString path;
        bool readable;
    };
    const Case cases[] = {
        {splash, true},
        {dir.filePath(QStringLiteral("splash")), true},
        {dir.filePath(QStringLiteral("splash.txt")), true},
        {text.fileName(), false},
        {dir.filePath(QStringLiteral("missing.png")), false},
        {dir.path(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        auto pic = fw::openPicture(c.path);
        if (!c.readable) {
            EXPECT_EQ(pic, nullptr);
            continue;
        }
        ASSERT_NE(pic, nullptr);
        EXPECT_EQ(pic->Width(), 550);
        EXPECT_EQ(pic->Height(), 387);
    }
}

TEST(Picture, DrawPictureCopiesAtItsOwnSize)
{
    auto src = fw::NewPicture(4, 3, 32);
    src->Graphics()->setForeColor(fw::RGB(10, 20, 30));
    src->Graphics()->FillRect(0, 0, 4, 3);
    auto dst = fw::NewPicture(20, 20, 32);
    dst->Graphics()->DrawPicture(src.get(), 5, 6);
    dst->Graphics()->DrawPicture(nullptr, 0, 0);
    dst->Graphics()->DrawPicture(src.get(), INT_MAX, INT_MIN);
    EXPECT_EQ(at(*dst, 5, 6), QColor(10, 20, 30));
    EXPECT_EQ(at(*dst, 8, 8), QColor(10, 20, 30));
    EXPECT_EQ(at(*dst, 9, 8), kWhite);
    EXPECT_EQ(at(*dst, 8, 9), kWhite);
    EXPECT_EQ(at(*dst, 4, 6), kWhite);
}

} // namespace
