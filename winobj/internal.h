// Private plumbing shared by the layer's files; programs include winobj.h only.
#pragma once

#include <utility>

#include "winobj/winobj.h"

// Pointers and handles ride in message parameters (a handed call's record and
// texts in LPARAM, a font in WPARAM) and window procedures in a window's
// LONG_PTR: each must hold a pointer whole, at 32 bits as on the device and at
// 64 bits on the desktop.
static_assert(sizeof(LPARAM) == sizeof(void*), "a pointer fits LPARAM");
static_assert(sizeof(WPARAM) == sizeof(HANDLE), "a handle fits WPARAM");
static_assert(sizeof(LONG_PTR) == sizeof(WNDPROC), "a window procedure fits LONG_PTR");

namespace winobj {

// The window property that binds a window to its TControl.
extern const wchar_t kSelfProp[];
// On each inner window of a combo box: its previous window procedure.
extern const wchar_t kPrevProcProp[];

// The layer's global state, one per program.
struct Globals {
  TControl* creating = nullptr;  // bound to the first message its new window receives
  TControl* mainForm = nullptr;
  bool running = false;
  bool terminated = false;
  uint16_t nextChildId = 0x8000;
  int platformKind = 255;  // 255: not asked yet
  DWORD uiThread = 0;      // the thread that makes and handles the windows
  // The loop's own wait (SetLoopWait) and deadline (SetLoopDeadline).
  HANDLE loopWait = nullptr;
  TEvent<TLoopProc> onLoopWait;
  TEvent<TLoopProc> onDeadline;
  uint32_t deadline = 0;  // TickNow when onDeadline is due
};
extern Globals g;

LRESULT CALLBACK SharedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// The system class's procedure, or DefWindowProcW for the layer's own classes.
LRESULT DefaultProcessing(TControl* control, const TWindowMessage& msg);
// Runs the control's hooks newest first; true when one handled the message.
bool DispatchHooks(TControl* control, TWindowMessage& msg, LRESULT& result);
TControl* ControlOf(HWND hwnd);

inline int WidthOf(const RECT& r) { return r.right - r.left; }
inline int HeightOf(const RECT& r) { return r.bottom - r.top; }

// Changes the style bits of a control (its window's style when it has one).
void ChangeStyle(TControl* control, DWORD set, DWORD clear);

// A constructor option and the window style it stands for.
struct TOptionStyle {
  uint32_t option;
  DWORD style;
};
// The styles of the options set in options.
template <size_t N>
DWORD StylesOfOptions(uint32_t options, const TOptionStyle (&table)[N]) {
  DWORD style = 0;
  for (const TOptionStyle& entry : table) {
    if (options & entry.option) style |= entry.style;
  }
  return style;
}

// Builds a kind's traits one group of fields at a time.
struct TTraitsOf {
  explicit TTraitsOf(void (*clear)(TControl*)) { traits.clear = clear; }
  // The notification codes of a click, focus in, focus out, a change, a selection.
  TTraitsOf& Notifications(uint16_t click, uint16_t enter, uint16_t leave, uint16_t change = 0,
                           uint16_t select = 0) {
    traits.clickCode = click, traits.enterCode = enter, traits.leaveCode = leave;
    traits.changeCode = change, traits.selectCode = select;
    return *this;
  }
  // The messages that count, add, delete and insert items and reach an item's data.
  TTraitsOf& Items(uint16_t count, uint16_t add, uint16_t remove, uint16_t insert, uint16_t getData,
                   uint16_t setData) {
    traits.itemCountMsg = count, traits.addItemMsg = add, traits.deleteItemMsg = remove;
    traits.insertItemMsg = insert, traits.getItemDataMsg = getData, traits.setItemDataMsg = setData;
    return *this;
  }
  // The messages for the lines of a text and its selection, and for the selected item.
  TTraitsOf& Selection(uint16_t lineIndex, uint16_t replaceSel, uint16_t setSel,
                       uint16_t getSelected, uint16_t selectItem) {
    traits.lineIndexMsg = lineIndex, traits.replaceSelMsg = replaceSel, traits.setSelMsg = setSel;
    traits.getSelectedMsg = getSelected, traits.selectItemMsg = selectItem;
    return *this;
  }
  TTraitsOf& TextRect(uint16_t message) {
    traits.textRectMsg = message;
    return *this;
  }
  TTraitsOf& Alignment(uint16_t left, uint16_t right, uint16_t center, uint8_t clears = 0) {
    traits.alignLeft = left, traits.alignRight = right, traits.alignCenter = center;
    traits.alignClears = clears;
    return *this;
  }
  TTraitsOf& ExtraSize(uint16_t width, uint16_t height) {
    traits.extraWidth = width, traits.extraHeight = height;
    return *this;
  }
  operator const TControlTraits&() const { return traits; }

  TControlTraits traits;
};

// Steps every child control constructor shares.
TControl* NewChildControl(TControl* parent, const wchar_t* className, DWORD style,
                          const TControlTraits& traits, int width, int height);
bool CommonChildHook(TControl* control, TWindowMessage& msg, LRESULT& result);
bool DefaultKeyHook(TControl* control, TWindowMessage& msg, LRESULT& result);
// Forms: paints the background in the form's colour.
bool EraseBackgroundHook(TControl* form, TWindowMessage& msg, LRESULT& result);

// Traits of the "STATIC" kinds (labels and panels) and the clear procedure that
// empties the text.
extern const TControlTraits kStaticTraits;
void ClearText(TControl* control);

// OnChange of a control's font (context: the control): colours, WM_SETFONT, repaint.
void FontChanged(void* context, TGdiTool* font);
// Sends WM_SETFONT with the control's font and re-runs automatic sizing.
void ApplyFont(TControl* control);
// The font of the control or of its nearest ancestor that has one.
TGdiTool* NearestFont(TControl* control);
// Device context for measuring: a memory DC with font selected; undone by EndMeasure.
struct MeasureDC {
  HDC dc;
  HGDIOBJ oldFont;
};
MeasureDC BeginMeasure(TGdiTool* font);
void EndMeasure(const MeasureDC& measure);

// The message loop's keyboard step, before TranslateMessage: the form's
// OnKeyDown, then Tab navigation. True when the key went no further.
bool HandleKeyPress(const MSG& message);

// Combo boxes: Enter/Esc while the list is open (combo window or its inner edit).
bool HandleDroppedListKey(TControl* combo, TWindowMessage& msg, LRESULT& result);

// Hands proc(context) to the thread of the control's window and waits until it
// has run; false (nothing done) when the caller is that thread or there is no
// window yet.
bool SendToWindowThread(TControl* control, TWindowThreadProc proc, void* context);
// The registered message that carries such a call, and its handling: only a
// call that one of this process's threads is waiting for runs, once.
UINT WindowThreadCallMessage();
void RunSentCall(WPARAM slot, LPARAM call);

template <class F>
void CallTrampoline(void* call) {
  (*static_cast<F*>(call))();
}

template <class F>
bool HandToWindowThread(TControl* control, F call) {
  return SendToWindowThread(control, &CallTrampoline<F>, &call);
}

template <class Proc, class... Args>
void Fire(const TEvent<Proc>& event, Args&&... args) {
  if (event.proc) event.proc(event.context, std::forward<Args>(args)...);
}

}  // namespace winobj
