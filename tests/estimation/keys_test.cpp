// Response keys: the key names, the legend the main window shows at Start,
// and the classification of a typed key under both all-other-keys flags.

#include "estimation/core/keys.h"

#include <gtest/gtest.h>

using estimation::classifyKey;
using estimation::keyLegend;
using estimation::keyname;
using estimation::KeyResponse;

namespace {

TEST(KeyName, SpecialCodesHaveNamesOthersAreTheCharacter)
{
    const struct {
        int code;
        const char* name;
    } cases[] = {
        {13, "ENTER"}, {9, "TAB"},   {32, "SPACE"}, {8, "DELETE"}, {127, "DELETE"}, {29, "RIGHT"},
        {28, "LEFT"},  {30, "UP"},   {31, "DOWN"},  {121, "y"},    {110, "n"},      {49, "1"},
        {65, "A"},     {27, "\x1b"}, {-5, ""},      {0x110000, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(keyname(c.code), QString::fromLatin1(c.name));
    }
}

TEST(KeyLegend, NamesBothKeysAndAnyForAFlaggedKey)
{
    const struct {
        int success, fail;
        bool successall, failall;
        const char* legend;
    } cases[] = {
        {121, 110, false, false, "Success = y     Failure = n"},
        {49, 48, false, false, "Success = 1     Failure = 0"},
        {32, 127, false, false, "Success = SPACE     Failure = DELETE"},
        {8, 13, false, false, "Success = DELETE     Failure = ENTER"},
        {121, 110, true, false, "Success = ANY     Failure = n"},
        {121, 110, false, true, "Success = y     Failure = ANY"},
        {0, 0, true, true, "Success = ANY     Failure = ANY"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(keyLegend(c.success, c.fail, c.successall, c.failall), QString::fromLatin1(c.legend));
    }
}

TEST(ClassifyKey, ByTheTwoKeysAndTheTwoFlags)
{
    using R = KeyResponse;
    const struct {
        const char* name;
        const char* key;
        int success, fail;
        bool successall, failall;
        R want;
    } cases[] = {
        {"success key", "1", 49, 48, false, false, R::Success},
        {"failure key", "0", 49, 48, false, false, R::Failure},
        {"other key ignored", "2", 49, 48, false, false, R::Ignored},
        {"equal keys are a failure", "5", 53, 53, false, false, R::Failure},
        {"letter case is ignored", "Y", 121, 110, false, false, R::Success},
        {"successall: failure key", "0", 49, 48, true, false, R::Failure},
        {"successall: success key", "1", 49, 48, true, false, R::Success},
        {"successall: any other key", "x", 49, 48, true, false, R::Success},
        {"failall: success key", "1", 49, 48, false, true, R::Success},
        {"failall: failure key", "0", 49, 48, false, true, R::Failure},
        {"failall: any other key", "x", 49, 48, false, true, R::Failure},
        {"both flags: success key", "1", 49, 48, true, true, R::Ignored},
        {"both flags: other key", "x", 49, 48, true, true, R::Ignored},
        {"space by its code", " ", 32, 48, false, false, R::Success},
        {"a code with no character matches no key", "x", -1, 48, false, false, R::Ignored},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(classifyKey(QString::fromLatin1(c.key), c.success, c.fail, c.successall, c.failall), c.want);
    }
}

} // namespace
