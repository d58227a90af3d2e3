#include "tools/render/Progress.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>

using zelbor::render::Progress;

// A log or a pipe gets whole lines, one per tenth of the way and a last one;
// only a terminal gets its line rewritten in place.
TEST(Progress, PlainLinesUnlessOnATerminal)
{
    const std::chrono::milliseconds now(0);
    std::ostringstream log;
    Progress lines(log, true, 10.0, Progress::Style::Lines, now);
    for (int i = 1; i <= 100; ++i)
    {
        lines.Update(0.1 * i);
    }
    lines.Finish();
    const std::string text = log.str();
    EXPECT_EQ(text.find('\r'), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11) << text; // 0% to 90%, then 100%
    EXPECT_NE(text.find("rendering 50%"), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind("rendering")).rfind("rendering 100%", 0), 0u);

    std::ostringstream terminal;
    Progress rewritten(terminal, true, 10.0, Progress::Style::Terminal, now);
    rewritten.Update(5.0);
    rewritten.Finish();
    const std::string shown = terminal.str();
    EXPECT_EQ(shown.rfind("\rrendering 50%", 0), 0u) << shown;
    EXPECT_NE(shown.find("\rrendering 100%"), std::string::npos) << shown;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1);

    // Quiet, or done within the delay: nothing at all.
    std::ostringstream none;
    Progress quiet(none, false, 10.0, Progress::Style::Lines, now);
    quiet.Update(5.0);
    quiet.Finish();
    Progress quick(none, true, 10.0, Progress::Style::Terminal, std::chrono::seconds(60));
    quick.Update(5.0);
    quick.Finish();
    EXPECT_EQ(none.str(), "");
}
