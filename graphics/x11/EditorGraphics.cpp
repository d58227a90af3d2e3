#include "graphics/EditorGraphics.h"

#include "graphics/x11/IGraphicsX11.h"

#include <new>

// The module's editor on Linux: the X11 window layer. Linked into the module
// ahead of the library's headless editor, which the tests and tools keep.
IGraphics* CreateEditorGraphics(IPlugBase* plug, int width, int height, int fps)
{
    try
    {
        return new IGraphicsX11(plug, width, height, fps);
    }
    catch (...)
    {
        return nullptr;
    }
}
