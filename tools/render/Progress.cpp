#include "tools/render/Progress.h"

#include "tools/render/TextNumbers.h"

#include <algorithm>

namespace zelbor::render
{

Progress::Progress(std::ostream& out, bool enabled, double totalAudioSeconds)
    : mOut(out), mEnabled(enabled), mTotal(totalAudioSeconds), mStart(Clock::now()),
      mLastShown(mStart)
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
    if (!mEnabled)
    {
        return;
    }
    const auto now = Clock::now();
    if (now - mStart < std::chrono::seconds(1) || now - mLastShown < std::chrono::milliseconds(200))
    {
        return;
    }
    mLastShown = now;
    mShown = true;
    const double percent =
        mTotal > 0.0 ? std::min(100.0, 100.0 * audioSecondsDone / mTotal) : 100.0;
    mOut << "\rrendering " << FormatNumber(percent, 0) << "%  ("
         << FormatNumber(RealTimeFactor(audioSecondsDone), 1) << "x real time)   " << std::flush;
}

void Progress::Finish()
{
    if (mShown)
    {
        mOut << "\rrendering 100%" << std::string(24, ' ') << "\n" << std::flush;
        mShown = false;
    }
}

} // namespace zelbor::render
