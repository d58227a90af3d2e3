#include "graphics/EditorGraphics.h"

#include "graphics/headless/IGraphicsHeadless.h"

#include <new>

IGraphics* CreateEditorGraphics(IPlugBase* plug, int width, int height, int fps)
{
    try
    {
        return new IGraphicsHeadless(plug, width, height, fps);
    }
    catch (...)
    {
        return nullptr;
    }
}
