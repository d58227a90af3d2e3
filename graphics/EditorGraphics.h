#pragma once

class IGraphics;
class IPlugBase;

// The editor surface of this platform's window layer, for the plug-in to
// fill with controls and attach: the Win32 editor window on Windows (with
// the module's instance handle set). Where no window layer exists yet it is
// the headless layer, so the editor's values and shapes behave the same,
// but no window opens and the host is not offered an editor. An fps of 0 or
// less means 24. Null when it cannot be made.
IGraphics* CreateEditorGraphics(IPlugBase* plug, int width, int height, int fps = 0);
