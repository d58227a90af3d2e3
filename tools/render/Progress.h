#pragma once

#include <chrono>
#include <ostream>

namespace zelbor::render
{

// Progress of a render: percentage and real-time factor. On a terminal the
// line is rewritten in place; elsewhere (a log file, a pipe) a plain line is
// written at every tenth of the way, so no carriage returns end up in logs.
// Silent for renders that finish within showAfter.
class Progress
{
public:
    enum class Style
    {
        Terminal,
        Lines,
    };

    Progress(std::ostream& out, bool enabled, double totalAudioSeconds, Style style = Style::Lines,
             std::chrono::milliseconds showAfter = std::chrono::seconds(1));
    void Update(double audioSecondsDone);
    // Ends the progress line, if one was shown.
    void Finish();
    // Audio seconds per wall-clock second so far.
    double RealTimeFactor(double audioSecondsDone) const;
    // The audio seconds of the last update.
    double SecondsDone() const { return mDone; }
    double ElapsedSeconds() const;

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& mOut;
    bool mEnabled;
    double mTotal;
    Style mStyle;
    std::chrono::milliseconds mShowAfter;
    Clock::time_point mStart;
    Clock::time_point mLastShown;
    int mLastTenth = -1; // the last tenth written as a plain line
    double mDone = 0.0;
    bool mShown = false;
};

} // namespace zelbor::render
