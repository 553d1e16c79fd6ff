#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CTextFormat.h"

namespace {

using Arg = CTextFormat::Arg;

TEST(CTextFormatTest, FillsOnlyItsOwnPlaceholders) {
    struct Case {
        const char* pattern;
        std::vector<Arg> args;
        const char* expected;
        bool ok;
    };
    const Case cases[] = {
        {"%ld m", {Arg::of(1250l)}, "1250 m", true},
        {"I fell %ld m in %s!",
         {Arg::of(-3l), Arg::of("The Bramble Way")},
         "I fell -3 m in The Bramble Way!",
         true},
        {"100%% sure", {}, "100% sure", true},
        // Formats a data file might carry are copied, never interpreted.
        {"%n%x%08d %p", {}, "%n%x%08d %p", true},
        {"%s and %s", {Arg::of("one")}, "one and %s", false},
        {"%ld", {Arg::of("text")}, "%ld", false},
        {"no placeholder", {Arg::of(5l)}, "no placeholder", false},
        {"ends in %", {}, "ends in %", true},
        {"%l", {Arg::of(1l)}, "%l", false},
    };
    for (const Case& c : cases) {
        char out[64];
        bool ok = CTextFormat::format(out, sizeof(out), c.pattern, c.args.data(),
                                      static_cast<long>(c.args.size()));
        EXPECT_STREQ(out, c.expected) << c.pattern;
        EXPECT_EQ(ok, c.ok) << c.pattern;
    }
}

TEST(CTextFormatTest, CutsToTheBuffer) {
    char out[8];
    Arg args[] = {Arg::of("a long story")};
    CTextFormat::format(out, sizeof(out), "> %s", args, 1);
    EXPECT_STREQ(out, "> a lon");
    char tiny[1];
    CTextFormat::format(tiny, sizeof(tiny), "%s", args, 1);
    EXPECT_STREQ(tiny, "");
}

}  // namespace
