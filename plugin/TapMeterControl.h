#pragma once

#include "graphics/IBitmapControl.h"

class Delay;

// A tap's level meter. The engine refreshes its meter values every 200 ms
// as atomics; the meter takes the latest one whenever the editor looks for
// work, so the audio thread never touches editor objects.
class TapMeterControl : public IBitmapControl
{
public:
    TapMeterControl(IPlugBase* plug, int x, int y, const IBitmapRef& bitmap, const Delay& delay,
                    int tap);

    bool NeedsPaint() override;

private:
    const Delay& delay;
    int tap;
};
