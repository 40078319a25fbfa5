// The window object layer: reference-counted objects that own native windows,
// one shared window procedure with hooks and reflected notifications, forms and
// the message loop, the standard controls, the colour dialog, fonts, brushes and
// painting. Both programs build every window through these functions.
//
// Ownership: a new object has one owner (reference count 0). A control belongs to
// its parent through the parent's dependents; RunApplication releases the main
// form and with it every control. Programs never free a control themselves.
//
// Event handlers are a procedure plus a context pointer; the context is passed
// back unchanged as the first argument (the programs pass their holder object).
//
// Threads: every window is created and handled on the user-interface thread (the
// one that runs RunApplication). SetText and SetVisible may be called from any
// thread; the work is handed to the window's thread with SendMessageW, and the
// caller waits until it is done. RunOnWindowThread hands over a whole series of
// operations the same way. Everything else belongs to the UI thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct TControl;
struct TGdiTool;
struct TGdiCanvas;
struct TRefObject;

// ---------------------------------------------------------------------------
// Objects, reference counting and dependents

// Root of the object tree. Init sets defaults on a fresh object; Destroy
// releases what the object holds and frees it.
struct TBaseObject {
  virtual ~TBaseObject() = default;
  virtual void Init() {}
  virtual void Destroy();
};

class TPointerList;

// OnDestroy: called once, at the start of destruction.
typedef void (*TObjectEvent)(void* context, TRefObject* object);

struct TRefObject : TBaseObject {
  int32_t refCount = 0;  // 0: one owner; AddRef +2, ReleaseObject -2, destroyed below 0
  TObjectEvent onDestroy = nullptr;
  void* onDestroyContext = nullptr;
  TPointerList* dependents = nullptr;  // released front to back in the order added
  void* tag = nullptr;                 // free for the user; the layer never reads it
  void Destroy() override;

 protected:
  // OnDestroy, then the dependents in the order they were added.
  void ReleaseHeld();
};

// Growable list of pointer-size items.
class TPointerList : public TRefObject {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  void* Get(int index) const;  // nullptr outside 0..Count()-1
  void Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index, int n = 1);  // n is clamped to the end of the list
  int IndexOf(void* item) const;      // -1 when absent

 private:
  std::vector<void*> items_;
};

// Allocates an object of kind T and runs its Init.
template <class T>
T* NewObject() {
  T* object = new T();
  object->Init();
  return object;
}

void AddRef(TRefObject* object);
// Nil is allowed. Destroys the object when its count goes below 0.
void ReleaseObject(TRefObject* object);
// The owner releases object when the owner is destroyed.
void AddDependent(TRefObject* owner, TRefObject* object);
void RemoveDependent(TRefObject* owner, TRefObject* object);
void SetOnDestroy(TRefObject* object, TObjectEvent proc, void* context);

// ---------------------------------------------------------------------------
// Messages and hooks

// One message on its way through the layer. Handlers may change wParam.
struct TWindowMessage {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// A hook returns true when it has handled the message; result is then the answer.
typedef bool (*THookProc)(TControl* control, TWindowMessage& msg, LRESULT& result);

// WM_COMMAND is reflected to the child that sent it as this message.
const UINT kReflectedCommand = 0xB005;
// WM_CTLCOLORMSGBOX..WM_CTLCOLORSTATIC are reflected as this + the message.
const UINT kReflectedColorBase = 0xBC00;

// ---------------------------------------------------------------------------
// Event procedures

typedef void (*TNotifyEvent)(void* context, TControl* sender);
// allow starts true; a handler that clears it keeps the form open.
typedef void (*TCloseEvent)(void* context, TControl* sender, bool& allow);

struct TMouseEventData {
  uint8_t button;  // 0 none, 1 left, 2 right, 3 middle
  bool handled;    // set by the handler to consume the message
  uint32_t shift;  // MK_* flags of wParam, plus kShiftAlt while Alt is down
  int16_t x;       // client coordinates (for the wheel: screen coordinates)
  int16_t y;
};
const uint32_t kShiftAlt = 0x20;
typedef void (*TMouseEvent)(void* context, TControl* sender, TMouseEventData& data);

// code is the scroll request (SB_LINEUP ...). A handler that clears allow keeps
// the scroll bar where it was.
typedef void (*TScrollQueryEvent)(void* context, TControl* sender, int current, int next, int code,
                                  bool& allow);
typedef void (*TScrollEvent)(void* context, TControl* sender, int code);

// key is the virtual key; a handler that sets it to 0 keeps the key from the
// control. shift holds MK_SHIFT, MK_CONTROL and kShiftAlt while those are down.
typedef void (*TKeyEvent)(void* context, TControl* sender, int& key, uint32_t shift);

template <class Proc>
struct TEvent {
  Proc proc = nullptr;
  void* context = nullptr;
};

// ---------------------------------------------------------------------------
// Colours

// High bit clear: RGB 0x00BBGGRR. High bit set: a system colour, whose index is
// the value without the high bit (0x40000000 may be set as well, as on Windows CE).
typedef uint32_t TColor;
const TColor kColorWindow = 0xC0000005;
const TColor kColorWindowText = 0xC0000008;
const TColor kColorButtonFace = 0xC000000F;

// The RGB value in use now: system colours are asked for on every call.
COLORREF ResolveColor(TColor color);

// ---------------------------------------------------------------------------
// Controls

// Per-kind codes and messages that let one set of operations serve every kind.
// A message number 0 means the kind lacks the operation.
// Rows name the fields they set (every other one is 0).
struct TControlTraits {
  void (*clear)(TControl* control) = nullptr;
  // Notification codes that raise OnClick, OnEnter, OnLeave, OnChange, OnSelChange.
  uint16_t clickCode = 0, enterCode = 0, leaveCode = 0, changeCode = 0, selectCode = 0;
  // Messages for items, text and selection.
  uint16_t itemCountMsg = 0, replaceSelMsg = 0, getItemDataMsg = 0, setItemDataMsg = 0;
  uint16_t addItemMsg = 0, deleteItemMsg = 0, insertItemMsg = 0;
  uint16_t lineIndexMsg = 0, getSelectedMsg = 0, selectItemMsg = 0, setSelMsg = 0;
  uint16_t textRectMsg = 0;  // the rectangle the text is drawn in (client coordinates)
  // The style bits of each alignment, and the bits that any alignment clears.
  uint16_t alignLeft = 0, alignRight = 0, alignCenter = 0;
  uint8_t alignClears = 0;
  // What automatic sizing adds to the text's extent.
  uint16_t extraWidth = 0, extraHeight = 0;
};

enum TTextAlign { kAlignLeft = 0, kAlignRight = 1, kAlignCenter = 2 };

// TControl::boundsSet: the left or top was changed; bounds (a size) were set.
const uint8_t kBoundsLeftSet = 0x1;
const uint8_t kBoundsTopSet = 0x2;
const uint8_t kBoundsSizeSet = 0x4 | 0x8;

// One native window of any kind. Fields are public for tests and for the layer's
// own files; programs use the functions below.
struct TControl : TRefObject {
  // Scroll bars.
  int32_t scrollMin = 0, scrollMax = 0, scrollPage = 0, scrollPosition = 0;

  HWND handle = nullptr;
  DWORD classStyle = 0;
  DWORD style = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER;
  DWORD exStyle = 0;
  uint8_t sizeType = 0;          // last WM_SIZE type
  WNDPROC systemProc = nullptr;  // class procedure of a system class ("BUTTON" ...)
  TControl* parent = nullptr;
  bool enabled = true, visible = true, tabStop = false;
  int32_t tabOrder = 0;
  int32_t tabCounter = 0;  // forms: the last tab order number given out
  uint8_t textAlign = kAlignLeft;
  bool wordWrap = false;
  TPointerList* hooks = nullptr;     // THookProc, oldest first
  TPointerList* children = nullptr;  // TControl*, in creation order
  HBRUSH brush = nullptr;            // cached background brush ...
  COLORREF brushColor = 0;           // ... and the RGB it was made for
  bool destroyed = false, destroySeen = false;
  int32_t nesting = 0;  // window-procedure calls in progress
  uint16_t childId = 0;
  bool isForm = false, defaultBoundsFromWorkArea = false, isChild = false, drawsOwnText = false,
       wantsEnter = false;      // Enter stays in the control (multi-line edit boxes)
  bool pressedByEnter = false;  // push buttons: Enter presses the focused one
  uint8_t boundsSet = 0;        // kBounds* bits: which bounds were set explicitly
  std::wstring className;
  TColor textColor = kColorWindowText;
  TColor color = kColorWindow;
  TGdiTool* font = nullptr;
  TGdiCanvas* canvas = nullptr;
  int32_t margin = 2;
  RECT bounds = {};        // relative to the parent's client area
  RECT clientInsets = {};  // subtracted from the client rectangle on each side

  THookProc preHook = nullptr;       // asked before the hooks (forms: Enter/Esc)
  THookProc savedPreHook = nullptr;  // the pre-hook that the default-key hook replaced

  TEvent<TNotifyEvent> onClick, onChange, onEnter, onLeave, onDropDown, onCloseUp, onSelChange,
      onHide, onShow, onResize, onScreenChange;
  TEvent<TKeyEvent> onKeyDown;  // forms
  bool rightClick = false;      // the last OnClick came from a right click
  TEvent<TMouseEvent> onMouseDown, onMouseUp, onMouseMove, onMouseDblClk, onMouseWheel;
  TEvent<TScrollQueryEvent> onScrollQuery;
  TEvent<TScrollEvent> onScroll;
  TEvent<TCloseEvent> onClose;

  TControl* activeControl = nullptr;  // forms: the child that has or last had the focus
  bool visibleSet = false;            // visibility was set explicitly
  bool showAfterCreate = false;
  int8_t shownNotice = -1;  // last OnShow (1) / OnHide (0) raised, -1 none

  // Combo boxes.
  void (*dropDownSizing)(TControl* control) = nullptr;
  bool listDropped = false;
  int32_t dropIndex = -1;  // selection when the list dropped down

  uint8_t focusGuard = 0;
  TControl* defaultButton = nullptr;  // forms
  TControl* cancelButton = nullptr;   // forms
  TControlTraits traits = {};

  bool autosizeRunning = false;
  void (*textChanged)(TControl* control) = nullptr;  // automatic sizing while on
  std::wstring text;
  void (*afterCreate)(TControl* control) = nullptr;  // combo boxes

  bool anchorLeft = false, anchorTop = false, anchorRight = false, anchorBottom = false;
  int32_t anchorWidth = 0, anchorHeight = 0;  // parents: last client size seen

  void Init() override;
  void Destroy() override;
  // Init, the parent's background colour, then SetParentControl(parent).
  virtual void InitWithParent(TControl* parent);
  // Makes the window (and its children's) if needed; false when it cannot be made.
  virtual bool CreateWindowHandle();
  virtual LRESULT WindowProc(TWindowMessage& msg);
};

// Allocates a control of kind T and runs InitWithParent(parent) (parent may be nil).
template <class T>
T* NewObjectWithParent(TControl* parent) {
  T* object = new T();
  object->InitWithParent(parent);
  return object;
}

// Appends hook unless present. Hooks run newest first; the first that handles wins.
void AddHook(TControl* control, THookProc hook);
void RemoveHook(TControl* control, THookProc hook);
bool HasHook(TControl* control, THookProc hook);

// The window handle, made (with its parents' windows) first if needed.
HWND GetHandle(TControl* control);
// SendMessageW to the control's window (made if needed).
LRESULT Perform(TControl* control, UINT message, WPARAM wParam, LPARAM lParam);
// The form a control sits on (a form is its own form); nil for none.
TControl* FindForm(TControl* control);
// Moves control into newParent's child list and dependents and its window under
// newParent's window.
void SetParentControl(TControl* control, TControl* newParent);

// ---------------------------------------------------------------------------
// Forms, the application and the message loop

// A form (window class "Form"). Without explicit bounds it covers the work area
// down to the menu bar. With a parent it is an owned popup.
TControl* NewForm(TControl* parent, const std::wstring& caption);
// Records form as the application's main form before RunApplication (programs
// that set default buttons during construction need it); nil clears it.
void SetMainForm(TControl* form);
TControl* GetMainForm();
// Runs the message loop until the main form closes or WM_QUIT arrives, then
// releases the form (and every control on it) and sets *mainForm to nil.
//
// The loop gives each key press to the OnKeyDown of the form it is meant for
// first. Then Tab and Shift+Tab move the focus to the next (previous) control of
// the form, wrapping: the tab stops that are shown and enabled, wherever they sit
// in its panels, in reading order of their place on the screen (top to bottom,
// then left to right). Windows CE has no WS_EX_CONTROLPARENT, so its dialog
// navigation would never reach into a panel.
void RunApplication(TControl** mainForm);
// Dispatches every queued message without waiting.
void ProcessMessages();

// Besides its messages, RunApplication's loop waits for one kernel object and
// one deadline of the user-interface thread's own, and runs their procedures
// between messages, on that thread. For that thread alone.
typedef void (*TLoopProc)(void* context);
// While handle is signalled the loop runs proc(context), which must take the
// signal away (re-arm a change notification, say); a nil handle ends the wait.
// A handle that the wait finds unusable is dropped.
void SetLoopWait(HANDLE handle, TLoopProc proc, void* context);
// Once delay ms have passed the loop runs proc(context), once. A later call
// replaces the deadline; a nil proc cancels it.
void SetLoopDeadline(DWORD delay, TLoopProc proc, void* context);
// Runs what of the two is due, without waiting: for a loop of one's own.
void ServeLoopWaits();

// Runs proc(context) on the thread that handles the control's window and waits
// until it has run; at once when the caller is that thread or the window does
// not exist yet. For several steps that must reach the window together.
typedef void (*TWindowThreadProc)(void* context);
void RunOnWindowThread(TControl* control, TWindowThreadProc proc, void* context);
// Posts WM_CLOSE to the form. Closing the main form ends the application;
// closing another form destroys only that form.
void CloseForm(TControl* form);

// Any thread. Shows or hides; forms raise OnShow/OnHide before the change is seen.
void SetVisible(TControl* control, bool on);
// Shown on screen: visible and, for a child, every parent shown too.
bool GetVisible(TControl* control);
void SetEnabled(TControl* control, bool on);
bool GetEnabled(TControl* control);
// Gives the control the keyboard focus (off does nothing); a form is brought to
// the foreground. Controls without a tab stop are ignored. On a form not shown
// yet the control gets the focus when the form shows.
void SetFocused(TControl* control, bool on);
// Whether Tab and SetFocused reach the control. Edit boxes, combo boxes, buttons
// and check boxes start with one; a label given one draws a focus rectangle
// while it has the focus.
void SetTabStop(TControl* control, bool on);
void SetTopmost(TControl* form, bool on);
bool IsTopmost(TControl* form);
// Forms: caption, frame and system menu; children: WS_BORDER.
void SetHasBorder(TControl* control, bool on);
bool HasBorder(TControl* control);
// key 13 (Enter) makes button the main form's default button, 27 (Esc) its
// cancel button: the key then presses the button as Space would. While the form
// has either, Enter at a focused push button presses that one instead; a
// multi-line edit box keeps Enter.
void SetDefaultKeyButton(TControl* button, int key, bool on);

void SetOnShow(TControl* control, TNotifyEvent proc, void* context);
void SetOnHide(TControl* control, TNotifyEvent proc, void* context);
// Asked once when the form is about to close; clearing allow keeps it open.
void SetOnClose(TControl* form, TCloseEvent proc, void* context);
// Forms: each key pressed at the form or at a control on it (the sender), in
// the message loop before the control sees it.
void SetOnKeyDown(TControl* form, TKeyEvent proc, void* context);
// Forms: the screen's size or work area may have changed (WM_DISPLAYCHANGE, and
// WM_SETTINGCHANGE, which a device sends when it rotates).
void SetOnScreenChange(TControl* form, TNotifyEvent proc, void* context);
// After the control's size has changed (WM_SIZE).
void SetOnResize(TControl* control, TNotifyEvent proc, void* context);

// 0 other, 1 Pocket PC, 2 Smartphone; asked once and cached.
int GetPlatformKind();
// 0, 0, screen width, screen height.
RECT GetScreenRect();
// 0: the program's file name; n > 0: the n-th command-line argument, unquoted,
// or an empty text when there are fewer.
std::wstring GetCommandLineArgument(int n);

// ---------------------------------------------------------------------------
// Standard controls. Each starts at 2, 2 in its parent with its default size and
// gets its window with its form's window.

TControl* NewButton(TControl* parent, const std::wstring& caption);    // 64 x 22
TControl* NewCheckBox(TControl* parent, const std::wstring& caption);  // 72 x 22
TControl* NewLabel(TControl* parent, const std::wstring& caption);     // 64 x 22
// A panel's edge: 0 or 1 with a border, 2 none. 100 x 100.
const int kPanelWithBorder = 1;
const int kPanelNoBorder = 2;
TControl* NewPanel(TControl* parent, int edge);

// Edit box options (bits).
const uint32_t kEditNoHScroll = 0x1;  // without it: WS_HSCROLL | ES_AUTOHSCROLL
const uint32_t kEditNoVScroll = 0x2;  // without it: WS_VSCROLL | ES_AUTOVSCROLL
const uint32_t kEditLowercase = 0x4;
const uint32_t kEditMultiline = 0x8;  // 200 x 200, Enter stays in the box
const uint32_t kEditNoHideSel = 0x10;
const uint32_t kEditOemConvert = 0x20;
const uint32_t kEditPassword = 0x40;
const uint32_t kEditReadOnly = 0x80;
const uint32_t kEditUppercase = 0x100;
const uint32_t kEditWantReturn = 0x200;
const uint32_t kEditNumber = 0x800;
TControl* NewEditBox(TControl* parent, uint32_t options);  // 100 x 22

// Combo box options (bits).
const uint32_t kComboDropDownList = 0x1;
const uint32_t kComboNoAutoHScroll = 0x2;  // without it: CBS_AUTOHSCROLL
const uint32_t kComboDisableNoScroll = 0x4;
const uint32_t kComboLowercase = 0x8;
const uint32_t kComboNoIntegralHeight = 0x10;
const uint32_t kComboOemConvert = 0x20;
const uint32_t kComboSort = 0x40;
const uint32_t kComboUppercase = 0x80;
const uint32_t kComboNoStyle = 0x100;                       // bits 8 to 10 select no style
TControl* NewComboBox(TControl* parent, uint32_t options);  // 100 x 22

// The window is made at once. 64 x 64.
const int kScrollBarHorizontal = 0;
const int kScrollBarVertical = 1;
TControl* NewScrollBar(TControl* parent, int kind);

// Geometry, relative to the parent's client area (a top-level form: the screen).
RECT GetBoundsRect(TControl* control);
void SetBoundsRect(TControl* control, const RECT& bounds);
int GetLeft(TControl* control);
int GetTop(TControl* control);
int GetWidth(TControl* control);
int GetHeight(TControl* control);
void SetLeft(TControl* control, int left);
void SetTop(TControl* control, int top);
void SetWidth(TControl* control, int width);
void SetHeight(TControl* control, int height);
// Both return the control, so that NewX, SetPosition and SetSize chain.
TControl* SetPosition(TControl* control, int left, int top);
// Only dimensions greater than 0 change.
TControl* SetSize(TControl* control, int width, int height);
int GetClientWidth(TControl* control);
int GetClientHeight(TControl* control);
// Anchored edges keep their distance to the parent's edges when it is resized.
void SetAnchors(TControl* control, bool left, bool top, bool right, bool bottom);

// Text, items and selection. Operations the kind lacks return 0 and do nothing.
void SetText(TControl* control, const std::wstring& text);  // any thread
std::wstring GetText(TControl* control);
int GetItemCount(TControl* control);
// Combo boxes: adding the first item selects it. Other kinds append to the text.
void AddItem(TControl* control, const std::wstring& text);
void SetItemText(TControl* control, int index, const std::wstring& text);
int GetItemIndex(TControl* control);
void SetItemIndex(TControl* control, int index);
void SelectAllText(TControl* control);
void Clear(TControl* control);

bool GetChecked(TControl* control);
void SetChecked(TControl* control, bool checked);

// Scroll bars. The window's range is minimum .. maximum + page - 1; with no page
// the last position is maximum - 1.
void SetScrollMin(TControl* control, int minimum);
void SetScrollMax(TControl* control, int maximum);
void SetScrollPosition(TControl* control, int position);
int GetScrollPosition(TControl* control);

void SetTextAlign(TControl* control, int align);  // TTextAlign
// On: the text wraps at the control's width. Off puts a button's or a check
// box's caption back on one line.
void SetWordWrap(TControl* control, bool on = true);
// Where the control draws a line of its text, relative to its parent's client
// area: a label at its top, an edit box at the top of its formatting rectangle,
// a button or a combo box centred in its height. Controls whose texts share a
// font and this top share their baseline.
int GetTextTop(TControl* control);
// On: the control is fitted to its text now and after every text or font change.
void SetAutoSize(TControl* control, bool on);

// Events. Each setter stores the procedure and context; a nil procedure clears it.
void SetOnClick(TControl* control, TNotifyEvent proc, void* context);
void SetOnChange(TControl* control, TNotifyEvent proc, void* context);
void SetOnEnter(TControl* control, TNotifyEvent proc, void* context);
void SetOnLeave(TControl* control, TNotifyEvent proc, void* context);
// Combo boxes: after the selection has changed; OnChange follows.
void SetOnSelChange(TControl* control, TNotifyEvent proc, void* context);
void SetOnDropDown(TControl* control, TNotifyEvent proc, void* context);
void SetOnCloseUp(TControl* control, TNotifyEvent proc, void* context);
void SetOnScrollQuery(TControl* control, TScrollQueryEvent proc, void* context);
void SetOnScroll(TControl* control, TScrollEvent proc, void* context);
void SetOnMouseMove(TControl* control, TMouseEvent proc, void* context);
void SetOnMouseDown(TControl* control, TMouseEvent proc, void* context);
void SetOnMouseUp(TControl* control, TMouseEvent proc, void* context);
void SetOnMouseDblClk(TControl* control, TMouseEvent proc, void* context);
void SetOnMouseWheel(TControl* control, TMouseEvent proc, void* context);

// ---------------------------------------------------------------------------
// Colour dialog

struct TColorChooser : TRefObject {
  HWND owner = nullptr;  // set by the user; none: the dialog has no owner
  COLORREF customColors[16];
  uint8_t kind = 0;  // 0 full dialog, 1 plain, 2 full dialog prevented
  TColor color = 0;  // in: the initial colour; out: the chosen one
  void Init() override;
};

TColorChooser* NewColorChooser(int kind);
// ChooseColorW; true and the chosen colour in chooser->color when one was picked.
bool ExecuteColorChooser(TColorChooser* chooser);

// ---------------------------------------------------------------------------
// Fonts, colours and painting

typedef void (*TToolEvent)(void* context, TGdiTool* tool);

// A font description (colour + LOGFONTW) with its GDI handle, made on demand.
struct TGdiTool : TRefObject {
  HGDIOBJ handle = nullptr;
  TGdiTool* parentTool = nullptr;  // shares its handle while the descriptions match
  COLORREF handleColor = 0;        // resolved colour the handle was made for
  TEvent<TToolEvent> onChange;
  struct Description {
    TColor color;
    LOGFONTW font;
  } desc = {};
  void Destroy() override;
};

const uint32_t kFontBold = 1;
const uint32_t kFontItalic = 2;
const uint32_t kFontUnderline = 4;
const uint32_t kFontStrikeOut = 8;

// The window is made if needed; the same colour again does nothing.
void SetColor(TControl* control, TColor color);
TColor GetColor(TControl* control);
// The control's font, made on first use (a copy of the parent's when it has one).
TGdiTool* GetFont(TControl* control);
void SetFontColor(TGdiTool* font, TColor color);
TColor GetFontColor(TGdiTool* font);
// lfHeight: negative values are character heights in pixels.
void SetFontHeight(TGdiTool* font, int height);
int GetFontHeight(TGdiTool* font);
void SetFontStyle(TGdiTool* font, uint32_t bits);  // kFont* bits
uint32_t GetFontStyle(TGdiTool* font);
// Copies source's description into target (made when nil); a nil source releases
// target and yields nil.
TGdiTool* AssignFont(TGdiTool* target, TGdiTool* source);
// The GDI handle, shared with the parent tool while the descriptions match.
HGDIOBJ GetToolHandle(TGdiTool* tool);
// The background brush, shared with a parent of the same colour value.
HBRUSH GetBrush(TControl* control);

// Measures text in a control's font (automatic sizing uses it).
struct TGdiCanvas : TRefObject {
  TControl* owner = nullptr;
  TGdiTool* font = nullptr;  // a copy of the owner's font, kept in step with it
  void Destroy() override;
};

TGdiCanvas* GetCanvas(TControl* control);
// Width (plus 1) and height of text in the canvas's font.
SIZE TextExtent(TGdiCanvas* canvas, const std::wstring& text);
