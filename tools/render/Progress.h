#pragma once

#include <chrono>
#include <ostream>

namespace zelbor::render
{

// Progress of a render on the terminal: percentage and real-time factor,
// rewritten in place. Silent for renders that finish within a second.
class Progress
{
public:
    Progress(std::ostream& out, bool enabled, double totalAudioSeconds);
    void Update(double audioSecondsDone);
    // Ends the progress line, if one was shown.
    void Finish();
    // Audio seconds per wall-clock second so far.
    double RealTimeFactor(double audioSecondsDone) const;
    double ElapsedSeconds() const;

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& mOut;
    bool mEnabled;
    double mTotal;
    Clock::time_point mStart;
    Clock::time_point mLastShown;
    bool mShown = false;
};

} // namespace zelbor::render
