// What the desktop stand-in for the CE power manager offers beyond the CE calls:
// its configuration, the simulated power source, and the pieces that powerctl.exe
// and the tests use. Nothing here exists on a device.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/ce/ce_power.h"

enum class PowerSourceKind { Simulated, Real, Invalid };
enum class PowerActionKind { Recorded, Real, Invalid };

// Configuration values; null or empty means the default, case does not matter.
PowerSourceKind ParsePowerSource(const wchar_t* text);
PowerActionKind ParsePowerAction(const wchar_t* text);
PowerSourceKind ConfiguredPowerSource();  // VORLIX_POWER_SOURCE
PowerActionKind ConfiguredPowerAction();  // VORLIX_POWER_ACTION
// VORLIX_POWER_SUSPEND_MS: how long a recorded suspend takes to return, as a
// device's returns only at resume (0 to 999999 ms; 0 when unset or not a number).
DWORD RecordedSuspendMilliseconds();
// VORLIX_POWER_LOG, else "power-actions.log" beside the running program.
std::wstring PowerLogPath();
// Appends "<date> <time> <entry>" and LF to that log in one write; ERROR_SUCCESS
// or the error of the step that failed.
DWORD AppendToPowerLog(const char* entry);

// What PlatformMessageBeep does (VORLIX_SOUND): by default it is only written
// to the power log; "real" also sounds. Null or empty means the default.
enum class SoundKind { Recorded, Real, Invalid };
SoundKind ParseSound(const wchar_t* text);
SoundKind ConfiguredSound();
// A variable of this process's environment, empty when unset.
std::wstring EnvironmentText(const wchar_t* name);

// The names the tools give an AC line status: "offline" 0, "online" 1, "unknown"
// 255. False for any other word.
bool AcLineStatusOfName(const std::wstring& name, BYTE* status);
// The name of a status; "other" for a value without one.
const wchar_t* NameOfAcLineStatus(BYTE status);

// The words the tools give a battery level: "0" to "100", or "unknown" (255).
// False for anything else.
bool BatteryPercentOfName(const std::wstring& name, BYTE* percent);
// "15%", "unknown" for a level the flag or the percent leaves unknown, "none"
// when the flag says there is no battery.
std::wstring NameOfBatteryLevel(BYTE percent, BYTE flag);
// The BatteryFlag of the simulated battery at a level: BATTERY_FLAG_HIGH above
// 66 %, none from 33 to 66, BATTERY_FLAG_LOW below 33, BATTERY_FLAG_CRITICAL
// below 5, BATTERY_FLAG_UNKNOWN for 255.
BYTE SimulatedBatteryFlag(BYTE percent);

// Registry place of the simulated AC line status and battery level (under
// HKEY_CURRENT_USER).
extern const wchar_t kSimulatedPowerKey[];
extern const wchar_t kSimulatedAcValue[];
extern const wchar_t kSimulatedBatteryValue[];

// The simulated ACLineStatus: 1 when never set, 255 for a stored value that is
// not 0, 1 or 255. False (with the last error) when the registry cannot be read.
bool ReadSimulatedAcLineStatus(BYTE* status);
// The simulated BatteryLifePercent: 100 when never set, 255 (unknown) for a
// stored value that is not 0 to 100 or 255. False as above.
bool ReadSimulatedBatteryPercent(BYTE* percent);

// How many subscribed queues a notification reached, and how many it could not
// (queue full, or no reader left).
struct PowerDelivery {
  int delivered = 0;
  int dropped = 0;
};

// Stores a simulated status (0, 1 or 255). When it differs from the stored one,
// sends one PBT_POWERSTATUSCHANGE to every subscribed queue of every process.
// ERROR_SUCCESS or an error code; *changed tells whether the status changed.
DWORD SetSimulatedAcLineStatus(BYTE status, bool* changed, PowerDelivery* delivery);
// The same for the simulated battery level (0 to 100, or 255 unknown), as the
// device's power manager notifies a change of the level.
DWORD SetSimulatedBatteryPercent(BYTE percent, bool* changed, PowerDelivery* delivery);

// Writes one notification of the given kind (PBT_*) to every queue subscribed for
// it; with processId not 0 only to that process's queues.
PowerDelivery BroadcastPowerNotification(DWORD message, DWORD processId = 0);

struct PowerSubscriptionInfo {
  DWORD processId;
  DWORD filter;
  std::wstring queue;  // the queue's object name prefix
};
// Subscriptions of all processes whose owner is still running.
std::vector<PowerSubscriptionInfo> ListPowerSubscriptions();

// Queue internals shared with the power manager stand-in.
// The object name prefix of a queue handle of this process, empty if hMsgQ is none.
std::wstring MsgQueueObjectName(HANDLE hMsgQ, bool* readAccess);
// How many ReadMsgQueue / WriteMsgQueue calls of this process wait on the
// handle just now (the tests' handshake with a blocked call).
int MsgQueueWaitingCalls(HANDLE hMsgQ);
// Opens one side of an existing queue by its object name prefix; NULL (with
// ERROR_FILE_NOT_FOUND) when no process holds that queue any more.
HANDLE OpenMsgQueueByObjectName(const std::wstring& objectName, bool readAccess);

// True inside Wine (ntdll exports wine_get_version).
bool RunningUnderWine();
// Starts a program of the Unix host from this Wine process, for instance
// RunHostProgram("/bin/sh", L"-c \"...\""). Wine hands back no process handle, so
// only the start is known, not the outcome. ERROR_NOT_SUPPORTED outside Wine.
DWORD RunHostProgram(const char* unixPath, const std::wstring& arguments);
// The systemctl arguments that the real power action uses for a state
// ("suspend", "poweroff", "reboot", with " -i" when forced); empty if unknown.
std::wstring HostPowerArguments(DWORD state, DWORD options);
