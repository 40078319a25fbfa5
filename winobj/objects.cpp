// Objects, reference counting, dependents and the pointer list.
#include <cassert>

#include "winobj/internal.h"

void TBaseObject::Destroy() { delete this; }

void TRefObject::ReleaseHeld() {
  if (onDestroy) {
    TObjectEvent proc = onDestroy;
    void* context = onDestroyContext;
    onDestroy = nullptr;
    onDestroyContext = nullptr;
    proc(context, this);
  }
  // AddDependent inserts at the front, so taking from the back releases the
  // dependents in the order they were added (children before later fonts, ...).
  // The list is read again each turn: a release may remove other dependents.
  while (dependents && dependents->Count() > 0) {
    int last = dependents->Count() - 1;
    auto* object = static_cast<TRefObject*>(dependents->Get(last));
    dependents->Delete(last);
    ReleaseObject(object);
  }
  if (dependents) {
    TPointerList* list = dependents;
    dependents = nullptr;
    ReleaseObject(list);
  }
}

void TRefObject::Destroy() {
  ReleaseHeld();
  TBaseObject::Destroy();
}

void* TPointerList::Get(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[index];
}

void TPointerList::Add(void* item) { items_.push_back(item); }

void TPointerList::Insert(int index, void* item) {
  assert(index >= 0 && index <= Count());
  items_.insert(items_.begin() + index, item);
}

void TPointerList::Delete(int index, int n) {
  if (index < 0 || index >= Count() || n <= 0) return;
  if (n > Count() - index) n = Count() - index;
  items_.erase(items_.begin() + index, items_.begin() + index + n);
}

int TPointerList::IndexOf(void* item) const {
  for (int i = 0; i < Count(); ++i) {
    if (items_[i] == item) return i;
  }
  return -1;
}

void AddRef(TRefObject* object) {
  assert(object && object->refCount >= 0);
  object->refCount += 2;
}

void ReleaseObject(TRefObject* object) {
  if (!object) return;
  object->refCount -= 2;
  if (object->refCount < 0) object->Destroy();
}

void AddDependent(TRefObject* owner, TRefObject* object) {
  assert(owner && object && owner != object);
  if (!owner->dependents) owner->dependents = NewObject<TPointerList>();
  owner->dependents->Insert(0, object);
}

void RemoveDependent(TRefObject* owner, TRefObject* object) {
  if (!owner || !owner->dependents) return;
  int index = owner->dependents->IndexOf(object);
  if (index < 0) return;
  owner->dependents->Delete(index);
  if (owner->dependents->Count() == 0) {
    TPointerList* list = owner->dependents;
    owner->dependents = nullptr;
    ReleaseObject(list);
  }
}

void SetOnDestroy(TRefObject* object, TObjectEvent proc, void* context) {
  object->onDestroy = proc;
  object->onDestroyContext = context;
}
