#include "dsp/ReadHead.h"

#include <limits>

void ReadHead::Attach(DelayBuffer* buf)
{
    buffer = buf != nullptr && !buf->Empty() ? buf : nullptr;
    cursor = buffer ? buffer->CursorAt(0) : DelayBuffer::SilentCursor();
    ClearState();
}

double ReadHead::AllpassCoefficient(double f)
{
    const double g = f - 0.5;
    return 1.0 / 3.0 - (8.0 / 9.0) * g + (16.0 / 27.0) * g * g - (32.0 / 81.0) * g * g * g +
           (64.0 / 243.0) * g * g * g * g;
}

void ReadHead::SetDistance(double d, int writeIndex)
{
    // Not above 1, infinite or not a number at all: the 1-sample minimum.
    // Beyond the buffer: as far back as the buffer reaches.
    if (!(d > 1.0 && d <= std::numeric_limits<double>::max())) d = 1.0;
    if (buffer == nullptr)
    {
        delay = d;
        cursor = DelayBuffer::SilentCursor();
        return;
    }
    const int len = buffer->length;
    if (d > len - 1.0) d = len - 1.0;
    if (writeIndex < 0 || writeIndex >= len) writeIndex = ((writeIndex % len) + len) % len;
    delay = d;

    double p = writeIndex - d + 1.0;
    if (p < 0.0) p += len;
    int n = static_cast<int>(p);
    // The fraction is taken before wrapping so that a position rounding onto
    // the buffer length cannot produce a wild coefficient.
    double f = n + 1 - p;
    if (n >= len) n -= len;
    if (f < 0.418)
    {
        if (++n >= len) n = 0;
        f += 1.0;
    }
    coefficient = AllpassCoefficient(f);
    cursor = buffer->CursorAt(n);
}

int ReadHead::SlotIndex() const
{
    if (buffer == nullptr) return 0;
    return cursor.block->index * DelayBuffer::kBlockSize +
           static_cast<int>(cursor.slot - cursor.block->data);
}
