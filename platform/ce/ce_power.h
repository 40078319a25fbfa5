// The Windows CE power manager and point-to-point message queues (coredll), with
// the platform's own records and signatures. On the desktop these are provided
// by the stand-in in this folder; a CE build links the real ones instead.
//
// Stand-in configuration (environment of the process, read by the stand-in only):
//   VORLIX_POWER_SOURCE  "simulated" (default) or "real"
//   VORLIX_POWER_ACTION  "recorded" (default) or "real"  -- real acts on this machine!
//   VORLIX_POWER_LOG     file that power actions are appended to
//                        (default: "power-actions.log" beside the program)
//   VORLIX_POWER_SUSPEND_MS  a recorded suspend returns after this many ms (default 0),
//                        as a device's returns only when it resumes
// Any other value makes the calls that depend on it fail with ERROR_BAD_CONFIGURATION.
//
// Message queues are named file mappings (a ring of fixed-size slots) guarded by a
// named mutex, so a queue name is shared by every process of one Windows session
// (one WINEPREFIX under Wine). The handle returned is a manual-reset event: on a
// read handle it is signalled while a message waits, on a write handle while the
// queue has room. Waiting does not consume; ReadMsgQueue does. After CloseMsgQueue
// the handle is closed, so a wait on it fails (WAIT_FAILED). A queue created with
// dwMaxMessages 0 holds up to 1024 messages (less for messages over 1 KiB).
//
// Power sources:
//   simulated  ACLineStatus is the DWORD "ACLineStatus" under
//              HKEY_CURRENT_USER\Software\Vorlix Platform\Power (1 when absent),
//              BatteryLifePercent the DWORD "BatteryLifePercent" beside it (100
//              when absent, 255 unknown) with a BatteryFlag that follows it;
//              changed by powerctl.exe, which writes one PBT_POWERSTATUSCHANGE to
//              every subscribed queue of every process when either changes.
//   real       GetSystemPowerStatus of this machine (under Wine the Linux power
//              supply's, its battery's level 255 with BATTERY_FLAG_NO_BATTERY when it
//              has none). A subscribed process runs one watcher thread with a hidden
//              window for WM_POWERBROADCAST; Wine sends none, so the watcher also
//              re-reads the status once a second and notifies a change of the AC
//              line or of the battery's level or flag.
// Power actions:
//   recorded   one line per call appended to the log, nothing else happens:
//              "YYYY-MM-DD hh:mm:ss.mmm SetSystemPowerState state=0x00200000
//               flags=0x00000000 action=suspend mode=recorded" (LF-terminated).
//   real       the line is written with mode=real, then: under Wine the host's
//              "systemctl suspend|poweroff|reboot" ("-i" with POWER_FORCE), on
//              Windows SetSuspendState or ExitWindowsEx (EWX_FORCE with POWER_FORCE).
#pragma once

#include <windows.h>

#include <cstddef>

#include "platform/ce/power_states.h"

// Message queues.
typedef struct MSGQUEUEOPTIONS_OS {
  DWORD dwSize;         // size of the record (20 on CE)
  DWORD dwFlags;        // MSGQUEUE_NOPRECOMMIT, MSGQUEUE_ALLOW_BROKEN
  DWORD dwMaxMessages;  // 0: no limit
  DWORD cbMaxMessage;   // largest message in bytes
  BOOL bReadAccess;     // TRUE: this handle reads, FALSE: it writes
} MSGQUEUEOPTIONS, *LPMSGQUEUEOPTIONS, *PMSGQUEUEOPTIONS;

#define MSGQUEUE_NOPRECOMMIT 0x00000001
#define MSGQUEUE_ALLOW_BROKEN 0x00000002
#define MSGQUEUE_MSGALERT 0x00000001

HANDLE WINAPI CreateMsgQueue(LPCWSTR lpName, LPMSGQUEUEOPTIONS lpOptions);
BOOL WINAPI ReadMsgQueue(HANDLE hMsgQ, LPVOID lpBuffer, DWORD cbBufferSize,
                         LPDWORD lpNumberOfBytesRead, DWORD dwTimeout, DWORD* pdwFlags);
BOOL WINAPI WriteMsgQueue(HANDLE hMsgQ, LPVOID lpBuffer, DWORD cbDataSize, DWORD dwTimeout,
                          DWORD dwFlags);
BOOL WINAPI CloseMsgQueue(HANDLE hMsgQ);
// Another handle to the queue of hMsgQ (the other side, per bReadAccess). The
// stand-in opens queues of the calling process only (hSrcProc is this process).
HANDLE WINAPI OpenMsgQueue(HANDLE hSrcProc, HANDLE hMsgQ, LPMSGQUEUEOPTIONS lpOptions);

typedef struct MSGQUEUEINFO {
  DWORD dwSize;  // set by the caller: sizeof(MSGQUEUEINFO)
  DWORD dwFlags;
  DWORD dwMaxMessages;
  DWORD cbMaxMessage;
  DWORD dwCurrentMessages;
  DWORD dwMaxQueueMessages;  // most messages held at one time
  WORD wNumReaders;
  WORD wNumWriters;
} MSGQUEUEINFO, *LPMSGQUEUEINFO, *PMSGQUEUEINFO;

BOOL WINAPI GetMsgQueueInfo(HANDLE hMsgQ, LPMSGQUEUEINFO lpInfo);

// Power notifications.
typedef struct _POWER_BROADCAST {
  DWORD Message;  // one of PBT_*
  DWORD Flags;    // the system power state flags
  DWORD Length;   // bytes in SystemPowerState
  WCHAR SystemPowerState[1];
} POWER_BROADCAST, *PPOWER_BROADCAST;

#define PBT_TRANSITION 0x00000001
#define PBT_RESUME 0x00000002
#define PBT_POWERSTATUSCHANGE 0x00000004
#define PBT_POWERINFOCHANGE 0x00000008
#define POWER_NOTIFY_ALL 0xFFFFFFFF

// hMsgQ: a read handle from CreateMsgQueue. Each notification is a POWER_BROADCAST
// of 16 bytes (Flags POWER_STATE_ON, Length 0). Returns NULL on failure.
HANDLE WINAPI RequestPowerNotifications(HANDLE hMsgQ, DWORD Flags);
// ERROR_SUCCESS, or ERROR_INVALID_HANDLE for a handle that is not a subscription.
DWORD WINAPI StopPowerNotifications(HANDLE h);

// Power status.
typedef struct _SYSTEM_POWER_STATUS_EX {
  BYTE ACLineStatus;  // 0 offline, 1 online, 255 unknown
  BYTE BatteryFlag;
  BYTE BatteryLifePercent;
  BYTE Reserved1;
  DWORD BatteryLifeTime;
  DWORD BatteryFullLifeTime;
  BYTE Reserved2;
  BYTE BackupBatteryFlag;
  BYTE BackupBatteryLifePercent;
  BYTE Reserved3;
  DWORD BackupBatteryLifeTime;
  DWORD BackupBatteryFullLifeTime;
} SYSTEM_POWER_STATUS_EX, *PSYSTEM_POWER_STATUS_EX, *LPSYSTEM_POWER_STATUS_EX;

#ifndef AC_LINE_OFFLINE  // the desktop's winbase.h has these three already
#define AC_LINE_OFFLINE 0x00
#define AC_LINE_ONLINE 0x01
#define AC_LINE_UNKNOWN 0xFF
#endif

// BatteryFlag bits and the unknown percent (the desktop's winbase.h has these too).
#ifndef BATTERY_FLAG_HIGH
#define BATTERY_FLAG_HIGH 0x01
#define BATTERY_FLAG_LOW 0x02
#define BATTERY_FLAG_CRITICAL 0x04
#define BATTERY_FLAG_CHARGING 0x08
#define BATTERY_FLAG_NO_BATTERY 0x80
#define BATTERY_FLAG_UNKNOWN 0xFF
#endif
#ifndef BATTERY_PERCENTAGE_UNKNOWN
#define BATTERY_PERCENTAGE_UNKNOWN 0xFF
#endif

BOOL WINAPI GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pSystemPowerStatusEx, BOOL fUpdate);

// The records as the device lays them out (32-bit ARM); none holds a pointer, so
// they are the same at every width the programs are built for.
static_assert(sizeof(MSGQUEUEOPTIONS) == 20, "MSGQUEUEOPTIONS is 20 bytes on the device");
static_assert(offsetof(MSGQUEUEOPTIONS, bReadAccess) == 16, "MSGQUEUEOPTIONS field offsets");
static_assert(sizeof(POWER_BROADCAST) == 16, "a notification is 16 bytes");
static_assert(offsetof(POWER_BROADCAST, Flags) == 4 && offsetof(POWER_BROADCAST, Length) == 8 &&
                  offsetof(POWER_BROADCAST, SystemPowerState) == 12,
              "POWER_BROADCAST field offsets");
static_assert(sizeof(SYSTEM_POWER_STATUS_EX) == 24, "SYSTEM_POWER_STATUS_EX is 24 bytes");
static_assert(offsetof(SYSTEM_POWER_STATUS_EX, BatteryFlag) == 1 &&
                  offsetof(SYSTEM_POWER_STATUS_EX, BatteryLifePercent) == 2 &&
                  offsetof(SYSTEM_POWER_STATUS_EX, BatteryLifeTime) == 4 &&
                  offsetof(SYSTEM_POWER_STATUS_EX, BatteryFullLifeTime) == 8 &&
                  offsetof(SYSTEM_POWER_STATUS_EX, Reserved2) == 12 &&
                  offsetof(SYSTEM_POWER_STATUS_EX, BackupBatteryLifeTime) == 16 &&
                  offsetof(SYSTEM_POWER_STATUS_EX, BackupBatteryFullLifeTime) == 20,
              "SYSTEM_POWER_STATUS_EX field offsets");

// Asks the power manager for a system power state; ERROR_SUCCESS on success. The
// stand-in knows POWER_STATE_SUSPEND, POWER_STATE_OFF and POWER_STATE_RESET (or the
// names "suspend", "off"/"shutdown", "reset"/"reboot"); anything else is
// ERROR_INVALID_PARAMETER. Options may hold POWER_FORCE.
DWORD WINAPI SetSystemPowerState(LPCWSTR pwsSystemState, DWORD StateFlags, DWORD Options);
