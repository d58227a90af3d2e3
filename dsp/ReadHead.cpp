#include "dsp/ReadHead.h"

#include <limits>

void ReadHead::Attach(DelayBuffer* buf)
{
    buffer = buf != nullptr && !buf->Empty() ? buf : nullptr;
    cursor = buffer ? buffer->CursorAt(0) : DelayBuffer::SilentCursor();
    ClearState();
}

void ReadHead::SetDistance(double d, int writeIndex)
{
    if (buffer == nullptr)
    {
        delay = d > 1.0 && d <= std::numeric_limits<double>::max() ? d : 1.0;
        cursor = DelayBuffer::SilentCursor();
        return;
    }
    const Placement p = Locate(d, writeIndex, buffer->length);
    delay = p.delay;
    allpass.coefficient = p.coefficient;
    cursor = buffer->CursorInRange(p.slot);
}

ReadHead::Placement ReadHead::Locate(double d, int writeIndex, int length)
{
    // Not above 1, infinite or not a number at all: the 1-sample minimum.
    // Beyond the buffer: as far back as the buffer reaches.
    if (!(d > 1.0 && d <= std::numeric_limits<double>::max())) d = 1.0;
    const int len = length;
    const double lenD = len;
    if (d > lenD - 1.0) d = lenD - 1.0;
    if (static_cast<unsigned>(writeIndex) >= static_cast<unsigned>(len))
        writeIndex = ((writeIndex % len) + len) % len;

    // Runs every control step for every tap: selections instead of branches
    // on the fraction (which falls either way at random).
    // Adding 0.0 leaves a value unchanged (p and f are never -0.0), so the
    // masked additions give the same bits as the conditional ones.
    double p = writeIndex - d + 1.0;
    p += p < 0.0 ? lenD : 0.0;
    int n = static_cast<int>(p);
    // The fraction is taken before wrapping so that a position rounding onto
    // the buffer length cannot produce a wild coefficient.
    double f = n + 1 - p;
    n = n >= len ? n - len : n;
    const bool early = f < 0.418;
    f += early ? 1.0 : 0.0;
    n += early ? 1 : 0;
    n = n >= len ? 0 : n;
    return Placement{d, AllpassCoefficient(f), n};
}

int ReadHead::SlotIndex() const
{
    if (buffer == nullptr) return 0;
    return cursor.block->index * DelayBuffer::kBlockSize +
           static_cast<int>(cursor.slot - cursor.block->data);
}
