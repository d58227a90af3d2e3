#include "graphics/EditorGraphics.h"

#include "graphics/win32/IGraphicsWin.h"
#include "platform/win32/CodeModule.h"

#include <new>

IGraphics* CreateEditorGraphics(IPlugBase* plug, int width, int height, int fps)
{
    try
    {
        auto* graphics = new IGraphicsWin(plug, width, height, fps);
        graphics->SetInstance(CodeModule());
        return graphics;
    }
    catch (...)
    {
        return nullptr;
    }
}
