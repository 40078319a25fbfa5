// The Windows CE power manager and point-to-point message queues (coredll), with
// the platform's own records and signatures. On the desktop these are provided
// by the stand-in in this folder; a CE build links the real ones instead.
//
// Stand-in configuration (environment of the process, read by the stand-in only):
//   VORLIX_POWER_SOURCE  "simulated" (default) or "real"
//   VORLIX_POWER_ACTION  "recorded" (default) or "real"  -- real acts on this machine!
//   VORLIX_POWER_LOG     file that recorded power actions are appended to
//                        (default: "power-actions.log" beside the program)
#pragma once

#include <windows.h>

#include "platform/power_states.h"

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

HANDLE WINAPI RequestPowerNotifications(HANDLE hMsgQ, DWORD Flags);
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

BOOL WINAPI GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pSystemPowerStatusEx, BOOL fUpdate);

// Asks the power manager for a system power state; ERROR_SUCCESS on success.
DWORD WINAPI SetSystemPowerState(LPCWSTR pwsSystemState, DWORD StateFlags, DWORD Options);
