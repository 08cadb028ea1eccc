#pragma once
// The standard controls: push button, check box, edit and progress bar.
#include "ui/control.h"

class Button : public ControlBase {
  public:
    Button() : ControlBase("button") {}
    Size GetIdealSize() override;
    bool OnReflected(WndEvent* ev) override;
    WndHandler onClicked;
    bool isDefault = false;
};

// A push button at its ideal size, Scale(8) from the parent's bottom-right corner.
Button* CreateDefaultButton(HWND parent, StrView text, bool isRtl);

class Checkbox : public ControlBase {
  public:
    Checkbox() : ControlBase("checkbox") {}
    Size GetIdealSize() override;
    bool OnReflected(WndEvent* ev) override;
    bool IsChecked();
    WndHandler onCheckStateChanged;
};

// A check box that is not shown is made hidden and disabled.
Checkbox* CreateCheckbox(HWND parent, StrView text, bool checked, bool isRtl, bool shown = true);

struct EditCreateArgs {
    HWND parent = nullptr;
    bool isMultiLine = false;
    bool withHorizontalScroll = false;  // multi-line only
    bool withBorder = false;            // own frame plus room for it in the ideal size
    bool withUnderline = false;         // only without a frame
    bool withFlatFrame = false;         // own frame only
    bool isNumber = false;
    bool isPassword = false;
    bool isRightAligned = false;
    // A file-system path: reads left to right in every window, right-aligned in a
    // right-to-left one (see CreateEdit).
    bool isPath = false;
    bool selectAllOnFocus = false;
    bool noVisualTheme = false;
    bool verticallyCentered = false;  // single-line only
    StrView cueText;
    StrView text;
    int idealSizeLines = 1;
    int minWidthChars = 0;  // in average characters; 0: none
    int maxWidthChars = 0;
    int padding = 0;  // DPI-independent pixels on every side
    int leftMargin = 0;
    int rightMargin = 0;
    Font* font = nullptr;
    bool isRtl = false;
};

class Edit : public ControlBase {
  public:
    Edit() : ControlBase("edit") {}
    Size GetIdealSize() override;
    void FilterMessage(WndEvent* ev) override;
    bool OnReflected(WndEvent* ev) override;

    WndHandler onTextChanged, onFocusLost, onFocus;
    HCURSOR cursor = nullptr;  // shown over the edit when set

    EditCreateArgs opts;
    bool ownFrame = false;
    int centringOffset = 0;
    bool focusByClick = false;
};

Edit* CreateEdit(const EditCreateArgs& args);
// Deletes the word before the caret of an edit window, as Ctrl+Backspace does.
void DeleteWordBeforeCaret(HWND edit);

class Progress : public ControlBase {
  public:
    Progress() : ControlBase("progress") {}
    Size GetIdealSize() override { return idealSize; }
    Size idealSize;
};

// From a creation record; the class is the progress bar's.
Progress* CreateProgress(CreateControlArgs args);
