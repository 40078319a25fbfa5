// Reference counting, dependents, hooks and the binding of windows to objects.
#include <string>
#include <vector>

#include "tests/winobj/winobj_test.h"

namespace {

std::vector<std::wstring> g_released;

struct Named : TRefObject {
  std::wstring name;
};

Named* NewNamed(const wchar_t* name) {
  Named* object = NewObject<Named>();
  object->name = name;
  SetOnDestroy(
      object, [](void*, TRefObject* o) { g_released.push_back(static_cast<Named*>(o)->name); },
      nullptr);
  return object;
}

TEST(Objects, DependentsAreReleasedInTheOrderTheyWereAdded) {
  g_released.clear();
  Named* owner = NewNamed(L"owner");
  AddDependent(owner, NewNamed(L"A"));
  AddDependent(owner, NewNamed(L"B"));
  AddDependent(owner, NewNamed(L"C"));
  ReleaseObject(owner);
  EXPECT_EQ(g_released, (std::vector<std::wstring>{L"owner", L"A", L"B", L"C"}));
}

TEST(Objects, ReferenceCountAndRemovedDependents) {
  g_released.clear();
  Named* object = NewNamed(L"x");
  AddRef(object);
  ReleaseObject(object);
  EXPECT_TRUE(g_released.empty());  // destroyed only below 0
  ReleaseObject(object);
  EXPECT_EQ(g_released, std::vector<std::wstring>{L"x"});
  ReleaseObject(nullptr);

  g_released.clear();
  Named* owner = NewNamed(L"owner");
  Named* kept = NewNamed(L"kept");
  AddDependent(owner, kept);
  RemoveDependent(owner, kept);
  ReleaseObject(owner);
  EXPECT_EQ(g_released, std::vector<std::wstring>{L"owner"});
  ReleaseObject(kept);
}

TEST(Objects, PointerListEdges) {
  TPointerList* list = NewObject<TPointerList>();
  int a, b, c;
  list->Add(&a);
  list->Add(&c);
  list->Insert(1, &b);
  EXPECT_EQ(list->IndexOf(&b), 1);
  EXPECT_EQ(list->IndexOf(nullptr), -1);
  EXPECT_EQ(list->Get(3), nullptr);
  EXPECT_EQ(list->Get(-1), nullptr);
  list->Delete(1, 10);  // clamped to the end
  EXPECT_EQ(list->Count(), 1);
  EXPECT_EQ(list->Get(0), &a);
  ReleaseObject(list);
}

class Hooks : public WinobjTest {};

std::vector<int> g_hookCalls;

bool FirstHook(TControl*, TWindowMessage& msg, LRESULT& result) {
  if (msg.message != WM_APP) return false;
  g_hookCalls.push_back(1);
  result = 1;
  return true;
}

bool SecondHook(TControl*, TWindowMessage& msg, LRESULT& result) {
  if (msg.message != WM_APP) return false;
  g_hookCalls.push_back(2);
  result = 2;
  return true;
}

TEST_F(Hooks, OnlyTheNewestOfTwoHandlingHooksRuns) {
  TControl* form = ShownForm();
  g_hookCalls.clear();
  AddHook(form, FirstHook);
  AddHook(form, SecondHook);
  AddHook(form, FirstHook);  // already there: stays the older one
  EXPECT_EQ(SendMessageW(form->handle, WM_APP, 0, 0), 2);
  EXPECT_EQ(g_hookCalls, std::vector<int>{2});
  RemoveHook(form, SecondHook);
  EXPECT_FALSE(HasHook(form, SecondHook));
  EXPECT_EQ(SendMessageW(form->handle, WM_APP, 0, 0), 1);
}

TEST_F(Hooks, ControlReleasedInItsOwnHandlerSurvivesUntilTheDispatchReturns) {
  TControl* form = ShownForm();
  TControl* button = NewButton(form, L"go");
  GetHandle(button);
  bool destroyed = false, aliveAfterRelease = false;
  Handler<TRefObject*> onDestroy{[&](TRefObject*) { destroyed = true; }};
  SetOnDestroy(button, onDestroy.Call, &onDestroy);
  Handler<TControl*> onClick{[&](TControl* sender) {
    ReleaseObject(sender);
    // Still whole: its window and fields are untouched until the dispatch ends.
    aliveAfterRelease = !destroyed && IsWindow(sender->handle) && sender->className == L"BUTTON";
  }};
  SetOnClick(button, onClick.Call, &onClick);
  HWND hwnd = button->handle;
  SendMessageW(form->handle, WM_COMMAND, MAKEWPARAM(button->childId, BN_CLICKED),
               reinterpret_cast<LPARAM>(hwnd));
  EXPECT_TRUE(aliveAfterRelease);
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(form->children->Count(), 0);
}

// The handler of a message sent to the label itself releases the label's form:
// the form goes at once, the label (held by its dispatch) only when the
// dispatch returns, and by then it no longer points at the freed form.
TEST_F(Hooks, AChildThatOutlivesItsReleasedParentForgetsIt) {
  TControl* form = NewForm(nullptr, L"owner");
  SetBoundsRect(form, {100, 100, 400, 300});
  TControl* label = NewLabel(form, L"go");
  GetHandle(label);
  struct State {
    TControl* form;
    bool formDestroyed = false, labelDestroyed = false;
    TControl* parentAfterRelease = reinterpret_cast<TControl*>(1);
  } state = {form};
  SetOnDestroy(
      form, [](void* c, TRefObject*) { static_cast<State*>(c)->formDestroyed = true; }, &state);
  SetOnDestroy(
      label, [](void* c, TRefObject*) { static_cast<State*>(c)->labelDestroyed = true; }, &state);
  SetOnMouseMove(
      label,
      [](void* c, TControl* sender, TMouseEventData&) {
        auto* s = static_cast<State*>(c);
        ReleaseObject(s->form);
        s->parentAfterRelease = s->formDestroyed ? sender->parent : nullptr;
      },
      &state);
  SendMessageW(label->handle, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(state.formDestroyed);
  EXPECT_TRUE(state.labelDestroyed);
  EXPECT_EQ(nullptr, state.parentAfterRelease);
}

TEST_F(Hooks, WindowDestroyedBySystemReleasesItsObject) {
  TControl* form = ShownForm();
  TControl* label = NewLabel(form, L"x");
  GetHandle(label);
  bool destroyed = false;
  SetOnDestroy(
      label, [](void* c, TRefObject*) { *static_cast<bool*>(c) = true; }, &destroyed);
  DestroyWindow(label->handle);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(form->children->Count(), 0);
}

}  // namespace
