#include "plugin/TapMeterControl.h"

#include "plugin/Delay.h"

TapMeterControl::TapMeterControl(IPlugBase* plugIn, int x, int y, const IBitmapRef& bmp,
                                 const Delay& effect, int tapIndex)
    : IBitmapControl(plugIn, x, y, -1, bmp), delay(effect), tap(tapIndex)
{
}

bool TapMeterControl::NeedsPaint()
{
    const double level = delay.MeterValue(tap);
    if (level != value)
    {
        value = level;
        dirty = true;
    }
    return dirty;
}
