// Desktop stand-in for CE point-to-point message queues. A queue is a set of named
// kernel objects, so that every process of the session that names the queue sees
// the same one:
//   <prefix>.map    file mapping: QueueHeader, then a ring of fixed-size slots
//   <prefix>.lock   mutex guarding the mapping
//   <prefix>.data   manual-reset event, signalled while a message waits
//   <prefix>.room   manual-reset event, signalled while a slot is free
//   <prefix>.noreader / .nowriter  manual-reset events, signalled while nobody
//                   reads / writes (wake blocked calls of a queue without
//                   MSGQUEUE_ALLOW_BROKEN when the other side goes away)
// The handle handed out is a duplicate of .data (read side) or .room (write side).
//
// Every lock here is a Win32 mutex, not std::mutex: the monitor ends its reader
// thread with TerminateThread, and an abandoned Win32 mutex can still be taken.
#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "platform/desktop/held_mutex.h"
#include "platform/desktop/power_standin.h"

namespace {

constexpr DWORD kQueueMagic = 0x51584C56;  // "VLXQ"
constexpr DWORD kKnownQueueFlags = MSGQUEUE_NOPRECOMMIT | MSGQUEUE_ALLOW_BROKEN;
constexpr DWORD kUnlimitedMessages = 1024;           // "no limit" in practice
constexpr ULONGLONG kUnlimitedBytes = 1u << 20;      // ...within about 1 MiB
constexpr ULONGLONG kLargestQueueBytes = 64u << 20;  // refuse bigger mappings

struct QueueHeader {
  DWORD magic;
  DWORD flags;        // MSGQUEUE_* given at creation
  DWORD maxMessages;  // as given at creation, 0 for no limit
  DWORD cbMaxMessage;
  DWORD capacity;  // slots in the ring
  DWORD slotSize;  // SlotHeader plus cbMaxMessage, rounded up to 8
  DWORD count;     // messages waiting
  DWORD head;      // slot of the oldest message
  DWORD readers;
  DWORD writers;
  DWORD mostMessages;  // the largest count so far
  DWORD alertQueued;   // an alert message sits at the head
};

struct SlotHeader {
  DWORD size;
  DWORD flags;
};

struct Queue {
  HANDLE mapping = nullptr;
  QueueHeader* header = nullptr;
  HANDLE lock = nullptr;
  HANDLE hasData = nullptr;
  HANDLE hasRoom = nullptr;
  HANDLE noReader = nullptr;
  HANDLE noWriter = nullptr;
  HANDLE closed = nullptr;  // set by CloseMsgQueue of this process: wakes blocked calls
  bool reader = false;
  std::wstring prefix;
  std::atomic<int> waiting{0};  // calls of this process blocked on the handle
  // The layout as checked against the mapping when opened. Kept here because any
  // process of the session can write to the header.
  DWORD flags = 0;
  DWORD cbMaxMessage = 0;
  DWORD capacity = 0;
  DWORD slotSize = 0;

  BYTE* SlotAt(DWORD index) const {
    return reinterpret_cast<BYTE*>(header + 1) + static_cast<size_t>(index) * slotSize;
  }
  // The moving parts of the header still describe slots of this queue.
  bool Sane() const { return header->head < capacity && header->count <= capacity; }

  ~Queue() {
    if (header) UnmapViewOfFile(header);
    for (HANDLE h : {mapping, lock, hasData, hasRoom, noReader, noWriter, closed}) {
      if (h) CloseHandle(h);
    }
  }
};

// The queues of this process by handle. Never freed: worker threads may still
// use it while the process exits.
struct QueueTable {
  HANDLE lock = CreateMutexW(nullptr, FALSE, nullptr);
  std::map<HANDLE, std::shared_ptr<Queue>> queues;
  DWORD unnamedCount = 0;
};

// Made before main runs, while the process has one thread: a function-local
// static would bring the thread library's once-only machinery along.
QueueTable* const queueTable = new QueueTable;

QueueTable& Table() { return *queueTable; }

std::shared_ptr<Queue> FindQueue(HANDLE handle) {
  QueueTable& table = Table();
  HeldMutex held(table.lock);
  auto it = table.queues.find(handle);
  return it == table.queues.end() ? nullptr : it->second;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

HANDLE FailNull(DWORD error) {
  SetLastError(error);
  return nullptr;
}

// Kernel object names treat '\' as a namespace separator; CE queue names do not.
std::wstring EscapeName(const wchar_t* name) {
  std::wstring out;
  for (const wchar_t* p = name; *p; ++p) {
    if (*p == L'\\') {
      out += L"%5C";
    } else if (*p == L'%') {
      out += L"%25";
    } else {
      out += *p;
    }
  }
  return out;
}

DWORD SlotSizeFor(DWORD cbMaxMessage) {
  ULONGLONG size = sizeof(SlotHeader) + static_cast<ULONGLONG>(cbMaxMessage);
  return static_cast<DWORD>((size + 7) & ~7ull);
}

DWORD CapacityFor(DWORD maxMessages, DWORD slotSize) {
  if (maxMessages != 0) return maxMessages;
  ULONGLONG fit = kUnlimitedBytes / slotSize;
  if (fit < 1) fit = 1;
  return static_cast<DWORD>(fit < kUnlimitedMessages ? fit : kUnlimitedMessages);
}

// Updates the side-count of a queue and the events that mirror it. Queue lock held.
void CountSide(Queue& q, int delta) {
  QueueHeader* h = q.header;
  DWORD& n = q.reader ? h->readers : h->writers;
  HANDLE none = q.reader ? q.noReader : q.noWriter;
  n += static_cast<DWORD>(delta);  // modulo 2^32: never a signed overflow
  if (n == 0) {
    SetEvent(none);
  } else {
    ResetEvent(none);
  }
}

// Opens (creating when options are given) the queue objects behind prefix and
// registers a handle for one side. Sets the last error to ERROR_ALREADY_EXISTS
// when the queue existed before.
HANDLE OpenQueue(const std::wstring& prefix, const MSGQUEUEOPTIONS* create, bool reader) {
  auto q = std::make_shared<Queue>();
  q->reader = reader;
  q->prefix = prefix;
  q->lock = CreateMutexW(nullptr, FALSE, (prefix + L".lock").c_str());
  if (!q->lock) return nullptr;

  bool existed = true;
  {
    HeldMutex held(q->lock);
    if (!held.owned()) return nullptr;
    std::wstring mapName = prefix + L".map";
    ULONGLONG bytes = 0;
    if (create) {
      DWORD slotSize = SlotSizeFor(create->cbMaxMessage);
      bytes = sizeof(QueueHeader) +
              static_cast<ULONGLONG>(CapacityFor(create->dwMaxMessages, slotSize)) * slotSize;
      if (bytes > kLargestQueueBytes) return FailNull(ERROR_OUTOFMEMORY);
      q->mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                      static_cast<DWORD>(bytes >> 32), static_cast<DWORD>(bytes),
                                      mapName.c_str());
      existed = q->mapping && GetLastError() == ERROR_ALREADY_EXISTS;
    } else {
      q->mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, mapName.c_str());
    }
    if (!q->mapping) return nullptr;
    q->header = static_cast<QueueHeader*>(MapViewOfFile(q->mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!q->header) return nullptr;
    MEMORY_BASIC_INFORMATION region = {};
    VirtualQuery(q->header, &region, sizeof region);
    QueueHeader* h = q->header;

    // A zero header is a mapping whose creator never got to fill it in.
    bool fresh = !existed || h->magic == 0;
    if (fresh && !create) return FailNull(ERROR_FILE_NOT_FOUND);
    if (fresh) {
      existed = false;
      if (bytes > region.RegionSize) return FailNull(ERROR_INVALID_HANDLE);
      ZeroMemory(h, sizeof *h);
      h->flags = create->dwFlags;
      h->maxMessages = create->dwMaxMessages;
      h->cbMaxMessage = create->cbMaxMessage;
      h->slotSize = SlotSizeFor(create->cbMaxMessage);
      h->capacity = CapacityFor(create->dwMaxMessages, h->slotSize);
      h->magic = kQueueMagic;
    } else if (h->magic != kQueueMagic || h->capacity == 0 || h->cbMaxMessage == 0 ||
               h->slotSize != SlotSizeFor(h->cbMaxMessage) ||
               sizeof(QueueHeader) + static_cast<ULONGLONG>(h->capacity) * h->slotSize >
                   region.RegionSize) {
      return FailNull(ERROR_INVALID_HANDLE);  // the name belongs to something else
    }
    q->flags = h->flags;
    q->cbMaxMessage = h->cbMaxMessage;
    q->capacity = h->capacity;
    q->slotSize = h->slotSize;

    q->hasData = CreateEventW(nullptr, TRUE, FALSE, (prefix + L".data").c_str());
    q->hasRoom = CreateEventW(nullptr, TRUE, TRUE, (prefix + L".room").c_str());
    q->noReader = CreateEventW(nullptr, TRUE, TRUE, (prefix + L".noreader").c_str());
    q->noWriter = CreateEventW(nullptr, TRUE, TRUE, (prefix + L".nowriter").c_str());
    q->closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!q->hasData || !q->hasRoom || !q->noReader || !q->noWriter || !q->closed) return nullptr;
    if (fresh) {  // events may outlive an earlier queue of the same name
      ResetEvent(q->hasData);
      SetEvent(q->hasRoom);
      SetEvent(q->noReader);
      SetEvent(q->noWriter);
    }
    CountSide(*q, +1);
  }

  HANDLE handle = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), reader ? q->hasData : q->hasRoom, GetCurrentProcess(),
                       &handle, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    DWORD error = GetLastError();
    HeldMutex held(q->lock);
    CountSide(*q, -1);
    return FailNull(error);
  }
  QueueTable& table = Table();
  {
    HeldMutex held(table.lock);
    table.queues[handle] = q;
  }
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

// Milliseconds left of a timeout that started at start.
DWORD Remaining(DWORD timeout, ULONGLONG start) {
  if (timeout == INFINITE) return INFINITE;
  ULONGLONG spent = GetTickCount64() - start;
  return spent >= timeout ? 0 : static_cast<DWORD>(timeout - spent);
}

// Waits for one of the queue's events; false with the last error set on timeout,
// on CloseMsgQueue of this handle, or on a failed wait.
bool WaitForQueue(Queue& q, HANDLE event, HANDLE broken, DWORD timeout) {
  if (timeout == 0) return Fail(ERROR_TIMEOUT);
  HANDLE waits[3] = {q.closed, event, broken};
  ++q.waiting;
  DWORD r = WaitForMultipleObjects(broken ? 3 : 2, waits, FALSE, timeout);
  --q.waiting;
  if (r == WAIT_OBJECT_0) return Fail(ERROR_INVALID_HANDLE);
  if (r == WAIT_TIMEOUT) return Fail(ERROR_TIMEOUT);
  if (r == WAIT_FAILED) return false;
  return true;
}

}  // namespace

int MsgQueueWaitingCalls(HANDLE hMsgQ) {
  std::shared_ptr<Queue> q = FindQueue(hMsgQ);
  return q ? q->waiting.load() : 0;
}

std::wstring MsgQueueObjectName(HANDLE hMsgQ, bool* readAccess) {
  std::shared_ptr<Queue> q = FindQueue(hMsgQ);
  if (!q) return std::wstring();
  if (readAccess) *readAccess = q->reader;
  return q->prefix;
}

HANDLE OpenMsgQueueByObjectName(const std::wstring& objectName, bool readAccess) {
  return OpenQueue(objectName, nullptr, readAccess);
}

HANDLE WINAPI CreateMsgQueue(LPCWSTR lpName, LPMSGQUEUEOPTIONS lpOptions) {
  if (!lpOptions || lpOptions->dwSize != sizeof(MSGQUEUEOPTIONS) || lpOptions->cbMaxMessage == 0 ||
      (lpOptions->dwFlags & ~kKnownQueueFlags) != 0) {
    return FailNull(ERROR_INVALID_PARAMETER);
  }
  std::wstring prefix;
  if (lpName) {
    if (wcslen(lpName) >= MAX_PATH) return FailNull(ERROR_INVALID_PARAMETER);
    prefix = L"VorlixMsgQueue." + EscapeName(lpName);
  } else {
    // Unnamed: a name no CE name can produce ('#'), unique in the session.
    QueueTable& table = Table();
    DWORD serial;
    {
      HeldMutex held(table.lock);
      serial = ++table.unnamedCount;
    }
    wchar_t unique[64];
    wsprintfW(unique, L"%lu.%I64u.%lu", GetCurrentProcessId(), GetTickCount64(), serial);
    prefix = std::wstring(L"VorlixMsgQueue#") + unique;
  }
  return OpenQueue(prefix, lpOptions, lpOptions->bReadAccess != FALSE);
}

HANDLE WINAPI OpenMsgQueue(HANDLE hSrcProc, HANDLE hMsgQ, LPMSGQUEUEOPTIONS lpOptions) {
  if (!lpOptions || lpOptions->dwSize != sizeof(MSGQUEUEOPTIONS)) {
    return FailNull(ERROR_INVALID_PARAMETER);
  }
  if (hSrcProc != GetCurrentProcess() && GetProcessId(hSrcProc) != GetCurrentProcessId()) {
    return FailNull(ERROR_NOT_SUPPORTED);
  }
  std::wstring prefix = MsgQueueObjectName(hMsgQ, nullptr);
  if (prefix.empty()) return FailNull(ERROR_INVALID_HANDLE);
  return OpenQueue(prefix, nullptr, lpOptions->bReadAccess != FALSE);
}

namespace {

// What one try of a read or a write came to, with the queue locked.
enum class TryResult { Done, Failed, Wait };

TryResult Failing(DWORD error) {
  SetLastError(error);
  return TryResult::Failed;
}

// Tries step with the queue locked (after checking that the shared state is
// sane) until it is done or fails, waiting on event between tries for as long
// as the timeout allows; a queue whose other side has gone breaks the wait
// unless it was made to allow that.
template <class Step>
BOOL TryUntilDone(Queue& q, HANDLE event, HANDLE otherSideGone, DWORD timeout, Step step) {
  bool allowBroken = (q.flags & MSGQUEUE_ALLOW_BROKEN) != 0;
  ULONGLONG start = GetTickCount64();
  for (;;) {
    {
      HeldMutex held(q.lock);
      if (!q.Sane()) return Fail(ERROR_INVALID_DATA);
      switch (step(*q.header, allowBroken)) {
        case TryResult::Done: return TRUE;
        case TryResult::Failed: return FALSE;
        case TryResult::Wait: break;
      }
    }
    if (!WaitForQueue(q, event, allowBroken ? nullptr : otherSideGone, Remaining(timeout, start))) {
      return FALSE;
    }
  }
}

}  // namespace

BOOL WINAPI ReadMsgQueue(HANDLE hMsgQ, LPVOID lpBuffer, DWORD cbBufferSize,
                         LPDWORD lpNumberOfBytesRead, DWORD dwTimeout, DWORD* pdwFlags) {
  std::shared_ptr<Queue> q = FindQueue(hMsgQ);
  if (!q) return Fail(ERROR_INVALID_HANDLE);
  if (!q->reader) return Fail(ERROR_ACCESS_DENIED);
  if (!lpBuffer || cbBufferSize == 0 || !lpNumberOfBytesRead) return Fail(ERROR_INVALID_PARAMETER);
  return TryUntilDone(
      *q, q->hasData, q->noWriter, dwTimeout, [&](QueueHeader& h, bool allowBroken) {
        if (h.count == 0) {
          if (h.writers == 0 && !allowBroken) return Failing(ERROR_PIPE_NOT_CONNECTED);
          return TryResult::Wait;
        }
        const SlotHeader* slot = reinterpret_cast<const SlotHeader*>(q->SlotAt(h.head));
        DWORD size = slot->size <= q->cbMaxMessage ? slot->size : q->cbMaxMessage;
        DWORD copied = size < cbBufferSize ? size : cbBufferSize;
        CopyMemory(lpBuffer, slot + 1, copied);
        *lpNumberOfBytesRead = copied;
        if (pdwFlags) *pdwFlags = slot->flags;
        bool truncated = size > cbBufferSize;
        if (slot->flags & MSGQUEUE_MSGALERT) h.alertQueued = 0;
        h.head = (h.head + 1) % q->capacity;
        if (--h.count == 0) ResetEvent(q->hasData);
        SetEvent(q->hasRoom);
        // As on CE: a message longer than the buffer is consumed, cut short.
        return truncated ? Failing(ERROR_INSUFFICIENT_BUFFER) : TryResult::Done;
      });
}

BOOL WINAPI WriteMsgQueue(HANDLE hMsgQ, LPVOID lpBuffer, DWORD cbDataSize, DWORD dwTimeout,
                          DWORD dwFlags) {
  std::shared_ptr<Queue> q = FindQueue(hMsgQ);
  if (!q) return Fail(ERROR_INVALID_HANDLE);
  if (q->reader) return Fail(ERROR_ACCESS_DENIED);
  if (!lpBuffer || cbDataSize == 0) return Fail(ERROR_INVALID_PARAMETER);
  if (cbDataSize > q->cbMaxMessage) return Fail(ERROR_INSUFFICIENT_BUFFER);
  return TryUntilDone(*q, q->hasRoom, q->noReader, dwTimeout,
                      [&](QueueHeader& h, bool allowBroken) {
                        if (h.readers == 0 && !allowBroken)
                          return Failing(ERROR_PIPE_NOT_CONNECTED);
                        if (h.count >= q->capacity) return TryResult::Wait;
                        // One alert message at a time goes ahead of the others; further ones queue
                        // up.
                        bool alert = (dwFlags & MSGQUEUE_MSGALERT) != 0 && !h.alertQueued;
                        DWORD index;
                        if (alert) {
                          h.head = (h.head + q->capacity - 1) % q->capacity;
                          index = h.head;
                          h.alertQueued = 1;
                        } else {
                          index = (h.head + h.count) % q->capacity;
                        }
                        SlotHeader* slot = reinterpret_cast<SlotHeader*>(q->SlotAt(index));
                        slot->size = cbDataSize;
                        slot->flags = alert ? MSGQUEUE_MSGALERT : 0;
                        CopyMemory(slot + 1, lpBuffer, cbDataSize);
                        if (++h.count > h.mostMessages) h.mostMessages = h.count;
                        SetEvent(q->hasData);
                        if (h.count == q->capacity) ResetEvent(q->hasRoom);
                        return TryResult::Done;
                      });
}

BOOL WINAPI CloseMsgQueue(HANDLE hMsgQ) {
  std::shared_ptr<Queue> q;
  QueueTable& table = Table();
  {
    HeldMutex held(table.lock);
    auto it = table.queues.find(hMsgQ);
    if (it == table.queues.end()) return Fail(ERROR_INVALID_HANDLE);
    q = it->second;
    table.queues.erase(it);
  }
  SetEvent(q->closed);
  CloseHandle(hMsgQ);
  HeldMutex held(q->lock);
  CountSide(*q, -1);
  return TRUE;
}

BOOL WINAPI GetMsgQueueInfo(HANDLE hMsgQ, LPMSGQUEUEINFO lpInfo) {
  std::shared_ptr<Queue> q = FindQueue(hMsgQ);
  if (!q) return Fail(ERROR_INVALID_HANDLE);
  if (!lpInfo || lpInfo->dwSize < sizeof(MSGQUEUEINFO)) return Fail(ERROR_INVALID_PARAMETER);
  HeldMutex held(q->lock);
  const QueueHeader* h = q->header;
  lpInfo->dwFlags = h->flags;
  lpInfo->dwMaxMessages = h->maxMessages;
  lpInfo->cbMaxMessage = h->cbMaxMessage;
  lpInfo->dwCurrentMessages = h->count;
  lpInfo->dwMaxQueueMessages = h->mostMessages;
  lpInfo->wNumReaders = static_cast<WORD>(h->readers);
  lpInfo->wNumWriters = static_cast<WORD>(h->writers);
  return TRUE;
}
