#include "graphics/IGraphics.h"

#include "framework/IPlugBase.h"
#include "framework/IPlugParam.h"
#include "graphics/EditorSettings.h"
#include "graphics/IBitmapControl.h"
#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "graphics/ITextControl.h"
#include "platform/FileOpen.h"
#include "platform/ModulePath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

IGraphics::IGraphics(IPlugBase* plugIn, int w, int h, int framesPerSecond)
    : plug(plugIn), width(w), height(h), fps(framesPerSecond > 0 ? framesPerSecond : 24)
{
}

IGraphics::~IGraphics() = default;

// --- Controls and values ----------------------------------------------------

int IGraphics::AddControl(IControl* control)
{
    if (!control)
    {
        return -1;
    }
    controls.emplace_back(control);
    boundStale = true;
    return NControls() - 1;
}

IControl* IGraphics::GetControl(int idx) const
{
    if (idx < 0 || idx >= NControls())
    {
        return nullptr;
    }
    return controls[static_cast<size_t>(idx)].get();
}

const std::vector<IControl*>& IGraphics::ControlsBoundTo(int paramIdx)
{
    static const std::vector<IControl*> none;
    if (boundStale)
    {
        boundControls.clear();
        for (auto& control : controls)
        {
            const int idx = control->paramIdx;
            if (idx >= 0)
            {
                if (static_cast<size_t>(idx) >= boundControls.size())
                {
                    boundControls.resize(static_cast<size_t>(idx) + 1);
                }
                boundControls[static_cast<size_t>(idx)].push_back(control.get());
            }
        }
        boundStale = false;
    }
    if (paramIdx < 0 || static_cast<size_t>(paramIdx) >= boundControls.size())
    {
        return none;
    }
    return boundControls[static_cast<size_t>(paramIdx)];
}

void IGraphics::PushParamToControls(int paramIdx, double value, bool normalized)
{
    if (!normalized)
    {
        const IPlugParam* param = plug ? plug->GetParam(paramIdx) : nullptr;
        if (!param)
        {
            return;
        }
        value = param->ToNormalized(value);
    }
    for (IControl* control : ControlsBoundTo(paramIdx))
    {
        control->TakePlugValue(value);
    }
}

void IGraphics::SetParamFromEffect(int paramIdx, double value)
{
    for (IControl* control : ControlsBoundTo(paramIdx))
    {
        control->TakeUserValue(value);
    }
}

void IGraphics::MarkAllControlsDirty()
{
    for (auto& control : controls)
    {
        control->MarkDirty(false);
    }
}

void IGraphics::DrawFrame(const IBitmapRef& bitmap, const IBox& box, int frame,
                          const IDrawBlend* blend)
{
    int srcY = 0;
    if (bitmap.frames >= 2 && frame >= 2)
    {
        srcY = static_cast<int>(static_cast<double>(bitmap.height) * (frame - 1) / bitmap.frames +
                                0.5);
    }
    BlitBitmap(bitmap, box, 0, srcY, blend);
}

bool IGraphics::DrawBoxOutline(const IColorRGBA& colour, const IBox& box)
{
    const bool top = HLine(colour, box.top, box.left, box.right);
    const bool bottom = HLine(colour, box.bottom, box.left, box.right);
    const bool left = VLine(colour, box.left, box.top, box.bottom);
    const bool right = VLine(colour, box.right, box.top, box.bottom);
    return top && bottom && left && right;
}

void IGraphics::SetBackground(int id, const char* fileName)
{
    const IBitmapRef bitmap = LoadBitmapRef(id, fileName, 1);
    background = new IBitmapControl(plug, 0, 0, -1, bitmap, BlendOpaque);
    controls.emplace(controls.begin(), background);
    boundStale = true;
}

bool IGraphics::VLine(const IColorRGBA& colour, int x, int y1, int y2)
{
    const IDrawBlend blend(BlendOpaque, 1.0f);
    return StrokeLine(colour, static_cast<float>(x), static_cast<float>(y1), static_cast<float>(x),
                      static_cast<float>(y2), &blend, false);
}

bool IGraphics::HLine(const IColorRGBA& colour, int y, int x1, int x2)
{
    const IDrawBlend blend(BlendOpaque, 1.0f);
    return StrokeLine(colour, static_cast<float>(x1), static_cast<float>(y), static_cast<float>(x2),
                      static_cast<float>(y), &blend, false);
}

void IGraphics::HostModuleFolder(std::string& folder)
{
    folder = ExecutableFolder();
}

void IGraphics::PluginModuleFolder(std::string& folder)
{
    folder = ModuleFolder();
}

void IGraphics::ResizeEditor(int w, int h)
{
    CancelEntry();
    width = w;
    height = h;
    ClearCapture();
    editGestureIdx = -1;
    overIdx = -1;
    editControl = nullptr;
    editParam = nullptr;
    controls.clear();
    boundStale = true;
    background = nullptr;
    if (plug)
    {
        plug->OnEditorResized(HostWidth(), HostHeight());
    }
}

// --- Scale ------------------------------------------------------------------

int IGraphics::SnapScale(int percent)
{
    const int clamped = std::clamp(percent, kMinScale, kMaxScale);
    return kMinScale + (clamped - kMinScale + kScaleStep / 2) / kScaleStep * kScaleStep;
}

int IGraphics::ToDevice(int v) const
{
    return static_cast<int>(std::lround(static_cast<double>(v) * scalePercent / 100.0));
}

IBox IGraphics::ToDevice(const IBox& box) const
{
    return IBox(ToDevice(box.left), ToDevice(box.top), ToDevice(box.right), ToDevice(box.bottom));
}

int IGraphics::ToLogical(int v) const
{
    return static_cast<int>(std::floor(static_cast<double>(v) * 100.0 / scalePercent));
}

IBox IGraphics::ToLogicalCover(const IBox& box) const
{
    const auto up = [this](int v)
    { return static_cast<int>(std::ceil(static_cast<double>(v) * 100.0 / scalePercent)); };
    return IBox(ToLogical(box.left), ToLogical(box.top), up(box.right), up(box.bottom));
}

void IGraphics::SetScale(int percent)
{
    percent = SnapScale(percent);
    if (percent == scalePercent)
    {
        return;
    }
    // A drag in progress would continue in the old scale's pixels.
    CancelEntry();
    EndOpenGesture();
    scalePercent = percent;
    ScaleChanged();
    MarkAllControlsDirty();
    if (plug)
    {
        plug->OnEditorResized(HostWidth(), HostHeight());
    }
}

IPopupMenu* IGraphics::ScaleMenu() const
{
    auto* menu = new IPopupMenu();
    for (int percent = kMinScale; percent <= kMaxScale; percent += kScaleStep)
    {
        char text[32];
        std::snprintf(text, sizeof(text), "Editor size: %d %%", percent);
        menu->InsertText(text, -1, percent == scalePercent ? MenuEntry::Checked : 0);
    }
    return menu;
}

void IGraphics::PromptForScale(int x, int y)
{
    const std::unique_ptr<IPopupMenu> menu(ScaleMenu());
    const int chosen = ShowMenu(*menu, x, y);
    if (chosen < 0 || chosen >= menu->Total())
    {
        return;
    }
    const int percent = kMinScale + chosen * kScaleStep;
    // Remembered even when it is the current size: the user chose it, and
    // the screen's scale no longer decides.
    EditorSettings::RememberScale(percent);
    SetScale(percent);
}

bool IGraphics::MayReplace(const std::string& path, int x, int y)
{
    // Never waits on a pipe of that name; a folder there fails the save.
    FILE* existing = OpenRegularFileUtf8(path.c_str());
    if (!existing)
    {
        return true;
    }
    std::fclose(existing);
    const size_t slash = path.find_last_of("/\\");
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    IPopupMenu menu;
    menu.InsertText(("Replace \"" + file + "\"").c_str());
    menu.InsertText("Cancel");
    return ShowMenu(menu, x, y) == 0;
}

// --- Repaint cycle ----------------------------------------------------------

bool IGraphics::CollectDirtyArea(IBox& dirty)
{
    bool any = false;
    for (auto& control : controls)
    {
        control->NotifyObservers();
        if (control->NeedsPaint())
        {
            dirty = dirty.Union(control->rect);
            any = true;
        }
    }
    return any;
}

bool IGraphics::PaintArea(const IBox& box)
{
    if (controls.empty())
    {
        return true;
    }
    drawRect = box;
    for (auto& control : controls)
    {
        if (!control->hidden && box.Intersects(control->rect))
        {
            control->Paint(this);
        }
        control->MarkPainted();
    }
    return PresentArea(ToDevice(box));
}

// --- Events -----------------------------------------------------------------

void IGraphics::ClearCapture()
{
    captureIdx = -1;
    lastX = -1;
    lastY = -1;
}

int IGraphics::ControlAt(int x, int y)
{
    if (captureIdx >= 0)
    {
        return captureIdx;
    }
    for (int i = NControls() - 1; i >= 0; --i)
    {
        IControl* control = controls[static_cast<size_t>(i)].get();
        if (!control->hidden && !control->greyed && control->HitTest(x, y))
        {
            return i;
        }
    }
    return -1;
}

void IGraphics::HandleMouseDown(int x, int y, const IMouseKeys& keys)
{
    x = ToLogical(x);
    y = ToLogical(y);
    // A press while another is held (a second button) starts a gesture of
    // its own: the one in progress ends first, so every begin-edit the host
    // saw is matched by its end-edit.
    EndOpenGesture();
    const int idx = ControlAt(x, y);
    IControl* control = GetControl(idx);
    // A right click where no control takes it offers the editor's sizes;
    // while an entry is open it only closes the entry.
    if (keys.right && !entryOpen && (idx < 0 || (control && control == background)))
    {
        PromptForScale(x, y);
        return;
    }
    if (idx < 0)
    {
        return;
    }
    captureIdx = idx;
    lastX = x;
    lastY = y;
    rightPress = keys.right;
    // Begin-edit goes out before the press acts, so the host sees begin-edit,
    // the changes of the gesture and end-edit in that order, also when the
    // press itself changes the value or opens a prompt.
    if (control->paramIdx >= 0)
    {
        editGestureIdx = idx;
        if (plug)
        {
            plug->BeginParameterEdit(control->paramIdx);
        }
    }
    control->MouseDown(x, y, keys);
}

void IGraphics::EndGesture(int idx)
{
    IControl* control = GetControl(idx);
    if (idx >= 0 && idx == editGestureIdx && control && control->paramIdx >= 0 && plug)
    {
        plug->EndParameterEdit(control->paramIdx);
    }
    editGestureIdx = -1;
}

void IGraphics::HandleMouseUp(int x, int y, const IMouseKeys& keys)
{
    x = ToLogical(x);
    y = ToLogical(y);
    const int idx = ControlAt(x, y);
    ClearCapture();
    rightPress = false;
    if (idx >= 0)
    {
        GetControl(idx)->MouseUp(x, y, keys);
    }
    // The end-edit matches the begin-edit of the press; a release with no
    // gesture in progress sends none.
    EndGesture(editGestureIdx);
}

void IGraphics::HandleMouseDrag(int x, int y, const IMouseKeys& keys)
{
    x = ToLogical(x);
    y = ToLogical(y);
    if (captureIdx < 0 || (x == lastX && y == lastY))
    {
        return;
    }
    const int dX = x - lastX;
    const int dY = y - lastY;
    lastX = x;
    lastY = y;
    GetControl(captureIdx)->MouseDrag(x, y, dX, dY, keys);
}

bool IGraphics::HandleDoubleClick(int x, int y, const IMouseKeys& keys)
{
    x = ToLogical(x);
    y = ToLogical(y);
    ClearCapture();
    const int idx = ControlAt(x, y);
    if (idx < 0)
    {
        return false;
    }
    IControl* control = GetControl(idx);
    if (!control->doubleClickAsDown)
    {
        control->MouseDoubleClick(x, y, keys);
        return false;
    }
    captureIdx = idx;
    lastX = x;
    lastY = y;
    control->MouseDown(x, y, keys);
    return true;
}

void IGraphics::HandleWheel(int x, int y, const IMouseKeys& keys, int delta)
{
    x = ToLogical(x);
    y = ToLogical(y);
    const int idx = ControlAt(x, y);
    if (idx >= 0)
    {
        GetControl(idx)->MouseWheel(x, y, keys, delta);
    }
}

bool IGraphics::HandleMouseOver(int x, int y, const IMouseKeys& keys)
{
    x = ToLogical(x);
    y = ToLogical(y);
    if (!trackMouseOver)
    {
        return false;
    }
    const int idx = ControlAt(x, y);
    if (idx < 0)
    {
        return trackMouseOver;
    }
    lastX = x;
    lastY = y;
    GetControl(idx)->MouseOver(x, y, keys);
    if (overIdx >= 0 && overIdx != idx)
    {
        if (IControl* previous = GetControl(overIdx))
        {
            previous->MouseOut();
        }
    }
    overIdx = idx;
    return trackMouseOver;
}

void IGraphics::HandleMouseOut()
{
    for (auto& control : controls)
    {
        control->MouseOut();
    }
    overIdx = -1;
}

void IGraphics::HandleKeyDown(int x, int y, int key)
{
    x = ToLogical(x);
    y = ToLogical(y);
    const int idx = ControlAt(x, y);
    if (idx >= 0)
    {
        GetControl(idx)->KeyDown(x, y, key);
    }
}

void IGraphics::EndPromptGesture(IControl*)
{
    ClearCapture();
    rightPress = false;
    EndGesture(editGestureIdx);
}

void IGraphics::EndOpenGesture()
{
    ClearCapture();
    rightPress = false;
    if (editGestureIdx >= 0)
    {
        EndGesture(editGestureIdx);
    }
}

// --- Prompts ----------------------------------------------------------------

IPopupMenu* IGraphics::DisplayTextMenu(const IPlugParam& param, double plain, int columnLength)
{
    char current[kParamTextSize];
    param.FormatValue(plain, false, current, sizeof(current));
    auto* menu = new IPopupMenu();
    for (int i = 0; i < param.DisplayTextCount(); ++i)
    {
        const char* text = param.GetDisplayText(i)->text;
        int flags = 0;
        if (columnLength > 0 && i > 0 && i % columnLength == 0)
        {
            flags |= MenuEntry::ColumnBreak;
        }
        // The checked item is the one whose text the value shows, so display
        // texts whose values are not their positions are checked correctly.
        if (std::strcmp(text, current) == 0)
        {
            flags |= MenuEntry::Checked;
        }
        menu->InsertText(text, -1, flags);
    }
    return menu;
}

std::string IGraphics::EntrySeed(IControl* control, const IPlugParam* param, bool textMode)
{
    std::string seed;
    if (textMode)
    {
        if (const auto* text = dynamic_cast<const ITextControl*>(control))
        {
            seed = text->GetText();
        }
        constexpr size_t kMaxSeed = 999;
        if (seed.size() > kMaxSeed)
        {
            // Cut at a character boundary of the UTF-8 text.
            size_t cut = kMaxSeed;
            while (cut > 0 && (static_cast<unsigned char>(seed[cut]) & 0xC0) == 0x80)
            {
                --cut;
            }
            seed.resize(cut);
        }
    }
    else if (param)
    {
        char buf[kParamTextSize] = {};
        param->FormatValue(param->Value(), false, buf, sizeof(buf));
        seed = buf;
    }
    return seed;
}

IBox IGraphics::EntryBox(const IBox& r, bool textMode)
{
    int cx = static_cast<int>(static_cast<float>(r.left + r.right) * 0.5f);
    int cy = static_cast<int>(static_cast<float>(r.top + r.bottom) * 0.5f);
    if (textMode)
    {
        cx = r.left + (r.right - r.left) / 2;
        cy = r.top + (r.bottom - r.top) / 2;
    }
    return IBox(cx - 18, cy - 8, cx - 18 + 72, cy - 8 + 20);
}

void IGraphics::PromptForValue(IControl* control, IPlugParam* param, bool textMode)
{
    if (!control || (!param && !textMode) || entryOpen)
    {
        return;
    }
    const int x = lastX >= 0 ? lastX : control->rect.left;
    const int y = lastY >= 0 ? lastY : control->rect.top;
    if (IPopupMenu* menu = control->BuildParamMenu())
    {
        editControl = control;
        editParam = param;
        const int chosen = ShowMenu(*menu, x, y);
        if (chosen >= 0 && chosen < menu->Total())
        {
            control->MenuChosen(menu, chosen);
        }
        control->DiscardMenu(menu);
        editControl = nullptr;
        editParam = nullptr;
        EndPromptGesture(control);
        return;
    }
    // The press that opened the entry has done its part; its release may
    // never reach the editor. The entry's commit is a gesture of its own.
    EndPromptGesture(control);
    editControl = control;
    editParam = param;
    entryOpen = true;
    if (!ShowTextEntry(EntryBox(control->rect, textMode), EntrySeed(control, param, textMode)) &&
        entryOpen)
    {
        entryOpen = false;
        editControl = nullptr;
        editParam = nullptr;
    }
}

void IGraphics::PromptFromMenu(IControl* control, IPlugParam* param, int columnLength)
{
    if (!control || !param)
    {
        return;
    }
    const std::unique_ptr<IPopupMenu> menu(DisplayTextMenu(*param, param->Value(), columnLength));
    editControl = control;
    editParam = param;
    const int chosen = ShowMenu(*menu, lastX, lastY);
    if (const MenuEntry* item = chosen >= 0 ? menu->EntryByFlatIndex(chosen) : nullptr)
    {
        int value = 0;
        if (!param->ValueForDisplayText(item->text.c_str(), &value))
        {
            value = 0;
        }
        control->TakeUserValue(param->ToNormalized(value));
    }
    editControl = nullptr;
    editParam = nullptr;
    EndPromptGesture(control);
}

void IGraphics::EntryCommitted(const std::string& text)
{
    if (!entryOpen)
    {
        return;
    }
    IControl* control = editControl;
    IPlugParam* param = editParam;
    entryOpen = false;
    editControl = nullptr;
    editParam = nullptr;
    if (!control || !param)
    {
        return;
    }
    // The commit reaches the host as one whole gesture, so a host recording
    // automation or undo sees begin-edit, the value and end-edit.
    const int idx = control->paramIdx;
    if (plug && idx >= 0)
    {
        plug->BeginParameterEdit(idx);
    }
    CommitEntryText(control, param, text.c_str());
    if (plug && idx >= 0)
    {
        plug->EndParameterEdit(idx);
    }
}

void IGraphics::EntryCancelled()
{
    entryOpen = false;
    editControl = nullptr;
    editParam = nullptr;
}

std::string IGraphics::EntryValueText() const
{
    if (!entryOpen || !editParam)
    {
        return {};
    }
    char buf[kParamTextSize] = {};
    editParam->FormatValue(editParam->Value(), false, buf, sizeof(buf));
    return buf;
}

void IGraphics::CancelEntry()
{
    if (!entryOpen)
    {
        return;
    }
    CloseTextEntry();
    EntryCancelled();
}

void IGraphics::CommitEntryText(IControl* control, IPlugParam* param, const char* text)
{
    if (!control || !param)
    {
        return;
    }
    if (!text)
    {
        text = "";
    }
    double plain = 0.0;
    if (param->DisplayTextCount() > 0)
    {
        int choice = 0;
        if (param->ValueForDisplayText(text, &choice))
        {
            plain = choice;
        }
    }
    else
    {
        // Leading blanks are skipped and reading stops at the first character
        // that cannot continue a number, always with "." as the decimal point.
        while (*text == ' ' || *text == '\t')
        {
            ++text;
        }
        const char* begin = *text == '+' ? text + 1 : text;
        const char* end = begin + std::strlen(begin);
        double parsed = 0.0;
        if (std::from_chars(begin, end, parsed).ec == std::errc() && std::isfinite(parsed))
        {
            plain = parsed;
        }
        if (param->NegateDisplay())
        {
            plain = -plain;
        }
    }
    control->TakeUserValue(param->ToNormalized(plain));
}
