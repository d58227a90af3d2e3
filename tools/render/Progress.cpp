#include "tools/render/Progress.h"

#include "tools/render/TextNumbers.h"

#include <algorithm>
#include <string>

namespace zelbor::render
{

Progress::Progress(std::ostream& out, bool enabled, double totalAudioSeconds, Style style,
                   std::chrono::milliseconds showAfter)
    : mOut(out), mEnabled(enabled), mTotal(totalAudioSeconds), mStyle(style), mShowAfter(showAfter),
      mStart(Clock::now()), mLastShown(mStart)
{
}

double Progress::ElapsedSeconds() const
{
    return std::chrono::duration<double>(Clock::now() - mStart).count();
}

double Progress::RealTimeFactor(double audioSecondsDone) const
{
    const double elapsed = ElapsedSeconds();
    return elapsed > 0.0 ? audioSecondsDone / elapsed : 0.0;
}

void Progress::Update(double audioSecondsDone)
{
    mDone = audioSecondsDone;
    if (!mEnabled)
    {
        return;
    }
    const auto now = Clock::now();
    if (now - mStart < mShowAfter)
    {
        return;
    }
    const double percent =
        mTotal > 0.0 ? std::min(100.0, 100.0 * audioSecondsDone / mTotal) : 100.0;
    const std::string text = "rendering " + FormatNumber(percent, 0) + "%  (" +
                             FormatNumber(RealTimeFactor(audioSecondsDone), 1) + "x real time)";
    if (mStyle == Style::Terminal)
    {
        if (mShown && now - mLastShown < std::chrono::milliseconds(200))
        {
            return;
        }
        mOut << "\r" << text << "   " << std::flush;
    }
    else
    {
        const int tenth = int(percent / 10.0);
        if (tenth <= mLastTenth || tenth >= 10)
        {
            return; // the last line is Finish's
        }
        mLastTenth = tenth;
        mOut << text << "\n" << std::flush;
    }
    mLastShown = now;
    mShown = true;
}

void Progress::Finish()
{
    if (!mShown)
    {
        return;
    }
    const std::string text =
        "rendering 100%  (" + FormatNumber(RealTimeFactor(mDone), 1) + "x real time)";
    if (mStyle == Style::Terminal)
    {
        mOut << "\r" << text << std::string(8, ' ') << "\n" << std::flush;
    }
    else
    {
        mOut << text << "\n" << std::flush;
    }
    mShown = false;
}

} // namespace zelbor::render
