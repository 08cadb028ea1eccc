#pragma once
// Window controls: each wraps one child window of a standard Win32 class, subclasses it to
// route its messages to event handlers, gets the notifications its parent reflects back to
// it, and takes part in layout.
#include <windows.h>

#include "base/str.h"
#include "ui/color.h"
#include "ui/layout.h"
#include "ui/task_func.h"

struct Font;
class ControlBase;

// What a handler gets; it sets handled (and result) when it consumed the message.
struct WndEvent {
    ControlBase* control = nullptr;
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wp = 0;
    LPARAM lp = 0;
    LRESULT result = 0;
    bool handled = false;
};
using WndHandler = Handler<WndEvent>;

// The part of a control that owns and routes a window.
class HwndBase {
  public:
    virtual ~HwndBase() = default;
    virtual int Reserved() { return 0; }
    virtual ControlBase* Owner() = 0;
    virtual LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) = 0;

    // Registers the window and routes its messages to WndProc; once.
    bool Subclass();

    HWND hwnd = nullptr;
    UINT_PTR subclassId = 0;
    Color bgColor = kColorUnset;
    HBRUSH bgBrush = nullptr;
    Color bgBrushColor = kColorUnset;
    Color textColor = kColorUnset;

    // The brush of bgColor, remade only when the colour changed; null without a colour.
    HBRUSH BackgroundBrush();
};

// How a control window is made.
struct CreateControlArgs {
    HWND parent = nullptr;
    const WCHAR* className = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    Rect pos;
    HMENU menu = nullptr;  // or the control id
    bool visible = true;
    Font* font = nullptr;  // null: the default GUI font
    StrView text;
    bool isRtl = false;
};

class ControlBase : public ILayout, public HwndBase {
  public:
    explicit ControlBase(const char* kindName = "control");
    ~ControlBase() override;

    // ILayout
    void SetVisibility(int v) override;
    int MinIntrinsicHeight(int width) override;
    int MinIntrinsicWidth(int height) override;
    Size Layout(Constraints bc) override;
    void SetBounds(Rect r) override;
    ControlBase* AsControl() override { return this; }

    virtual Size GetIdealSize() { return Size{}; }
    virtual bool IsFocused();
    virtual void SetFocus();

    ControlBase* Owner() override { return this; }
    LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;

    // Answers to what the parent reflects back (command, notify, colour); true when handled.
    virtual bool OnReflected(WndEvent* ev);
    // Runs before the default handling of every message; the message filter handler by
    // default. Sets ev->handled to stop there.
    virtual void FilterMessage(WndEvent* ev) { onMsgFilter.Call(ev); }

    void SetText(StrView text);
    StrView GetTextTemp();
    void SetIsVisibleAndEnabled(bool on);
    void SetEnabled(bool on);

    Font* font = nullptr;
    Insets insets;
    Size lastSize;
    bool mirrorInRtlParent = false;
    bool eraseBackground = true;

    WndHandler onCreated, onFocusGained, onCommand, onCreate, onMouse, onPaint, onSize, onTimer, onMsgFilter,
        onNotify, onNotifyReflected, onColorReflected, onContextMenu, onDestroy;

  protected:
    LRESULT DefaultHandling(WndEvent* ev);
    LRESULT CallDefault(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

// Creates the control's window (null on failure, the control then has no window).
HWND CreateControl(ControlBase* c, const CreateControlArgs& args);
// The object registered for a window, or null.
HwndBase* FindHwndBase(HWND hwnd);
ControlBase* FindControl(HWND hwnd);

// Offers a parent's message to the child control it concerns (WM_COMMAND, WM_NOTIFY,
// WM_CTLCOLOR*, scroll, owner-draw, ...). True when answered, with the answer in *res.
bool ReflectMessage(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT* res);
