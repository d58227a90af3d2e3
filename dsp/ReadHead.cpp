#include "dsp/ReadHead.h"

#include <limits>

namespace
{
// The distance a head without a buffer keeps: a finite number, at least 1.
double SilentDistance(double d)
{
    return d > 1.0 && d <= std::numeric_limits<double>::max() ? d : 1.0;
}
} // namespace

void ReadHead::Attach(DelayBuffer* buf)
{
    buffer = buf != nullptr && !buf->Empty() ? buf : nullptr;
    cursor = buffer ? buffer->CursorAt(0) : DelayBuffer::SilentCursor();
    deferred = false;
    ClearState();
}

void ReadHead::SetDistance(double d, int writeIndex)
{
    deferred = false;
    if (buffer == nullptr)
    {
        delay = SilentDistance(d);
        cursor = DelayBuffer::SilentCursor();
        return;
    }
    const Placement p = Locate(d, writeIndex, buffer->length);
    delay = p.delay;
    allpass.coefficient = p.coefficient;
    cursor = buffer->CursorInRange(p.slot);
}

double ReadHead::Distance() const
{
    if (!deferred) return delay;
    return buffer != nullptr ? Locate(deferredDistance, deferredWrite, buffer->length).delay
                             : SilentDistance(deferredDistance);
}

ReadHead::Placement ReadHead::Locate(double d, int writeIndex, int length)
{
    if (static_cast<unsigned>(writeIndex) >= static_cast<unsigned>(length))
        writeIndex = ((writeIndex % length) + length) % length;
    const HeadPlacement<double> p = PlaceHead<double>(d, writeIndex, length);
    return Placement{p.delay, p.coefficient, static_cast<int>(p.slot)};
}

int ReadHead::SlotIndex() const
{
    if (buffer == nullptr) return 0;
    return cursor.block->index * DelayBuffer::kBlockSize +
           static_cast<int>(cursor.slot - cursor.block->data);
}
