// The resident power monitor: its object, start-up and lifetime, the power
// notification listener, the delay and countdown with the power action, and the
// full-screen overlay.
//
// Threads: the user-interface thread (start-up, message loop, every handler),
// PowerQueueReader, DelayThread and CountdownThread. They coordinate through the
// atomic flags below, with busy waits, and the workers are parked and woken with
// SuspendThread / ResumeThread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "shared/files.h"
#include "shared/language.h"
#include "shared/settings.h"
#include "winobj/winobj.h"

// The monitor object: the overlay form and its two text lines. A dependent of
// its form, so the form's release frees it.
struct TMonitorWindow : TRefObject {
  TControl* form = nullptr;
  TControl* Label1 = nullptr;  // the countdown line
  TControl* Label2 = nullptr;  // the cancel hint
};

// ---------------------------------------------------------------------------
// Start-up and lifetime (startup.cpp)

// Written by the user-interface thread during start-up only; read afterwards.
extern TMonitorWindow* theMonitor;
extern std::wstring programDirectory;
extern int32_t screenDpi;
// The settings in force: read at start-up, and put in force again by a reload
// (reload.cpp) only between sequences, under the claim (see sequence.cpp).
extern TMonitorSettings monitorSettings;
extern TMessageTexts messageTexts;

// Creates the monitor object with its form and labels, stores it in monitor
// first, and runs InitializeMonitor. parent is always nil.
void CreateMonitorWindow(TMonitorWindow*& monitor, TControl* parent);
// The form, the two labels and the handlers (no settings, threads or listener).
void BuildMonitorForm(TMonitorWindow* monitor);
// The start-up sequence. A thread or listener that cannot start posts WM_QUIT.
void InitializeMonitor(TMonitorWindow* monitor);
// OnClose of frmMain: ends the worker threads and the listener. A close handed
// in while the user-interface thread serves a sent message is put off to the loop.
void OnMonitorClose(void* context, TControl* sender, bool& allow);
// The end of every way out (the close, or WM_QUIT ending the loop): the reader
// first, so that it starts nothing any more, then the workers, then the queue.
// Again after the first time it does nothing.
void StopMonitorThreads();

// Tests run the monitor on a folder of their own; empty: the program's folder.
void SetProgramDirectoryForTesting(const std::wstring& folder);

// ---------------------------------------------------------------------------
// Settings without a restart (reload.cpp)

// Reads the settings file of the folder, then the language pack it names, into
// the records, and fills the action word into the action text. False when the
// settings file is missing or cannot be read to its end, or the pack it names
// is there but cannot be read; a pack that is not there leaves the texts alone.
// The stamps, when asked for, are the files' just before each was read.
bool ReadSettingsFiles(const std::wstring& folder, TMonitorSettings* settings, TMessageTexts* texts,
                       TFileStamp* settingsStamp = nullptr, TFileStamp* packStamp = nullptr);
// The overlay's colours from the settings in force (user-interface thread; the
// font follows them at every show, the texts at every show and reset).
void ApplyOverlaySettings(TMonitorWindow* monitor);
// Watches the programs' folder from the user-interface thread's loop: once it
// has been quiet for kSettleTime after a change, and the settings file or the
// pack in force has changed, both are read again into fresh records, put in
// force as soon as no sequence is in progress. Nothing when the folder cannot
// be watched. The stamps are those of the files in force as they were read.
const DWORD kSettleTime = 200;  // ms
void WatchSettings(TMonitorWindow* monitor, const TFileStamp& settingsRead,
                   const TFileStamp& packRead);
// Ends the watch (the close); again it does nothing.
void StopWatchingSettings();
// What the watch does once the folder has settled: a look at the files, a
// read if they changed, and the new settings put in force or the look taken
// again a moment later.
void RereadSettings(TMonitorWindow* monitor);

// ---------------------------------------------------------------------------
// Event log (event_log.cpp)

// Records one event in vorlix.log when the settings in force ask for it
// (event_log): the local time now and the text, in ASCII (anything else shows
// as "?"). For any of the monitor's threads where it may use the heap: the
// user-interface thread, the listener, a worker inside its tick (holding the
// sequence) or while it makes the power call, never a worker where it may be
// parked. The line is only queued; the user-interface thread writes it from
// its loop, so the caller never waits for the file.
void LogEvent(const std::string& text);
// The settings as the log lists them: every key of vorlix.ini with its value.
std::string SettingsSummary(const TMonitorSettings& settings);
// Start-up (user-interface thread): the log of the folder, on or off.
void StartEventLog(const std::wstring& folder, bool on);
// Whether events are recorded from now on (a reload changed event_log).
void SetEventLogging(bool on);
// Writes the lines queued so far (user-interface thread, outside the claim).
void WriteEventLog();
// The close: records "monitor ended", writes everything, and records no more.
void EndEventLog();
// The form's hook: the queued lines' writing, posted to the form.
bool EventLogHook(TControl* control, TWindowMessage& msg, LRESULT& result);

// ---------------------------------------------------------------------------
// Power notification listener (listener.cpp)

extern std::atomic<uint8_t> lastAcLineStatus;
// The battery's level as the last notification (or the start) read it, 0 to
// 100; 255 when it is not known.
extern std::atomic<uint8_t> lastBatteryPercent;

// What the listener reads of the power status at each notification.
struct TPowerReading {
  uint8_t acLineStatus;
  uint8_t batteryFlag;
  uint8_t batteryPercent;
};
// GetSystemPowerStatusEx without a fresh battery query; false on failure.
bool ReadPowerStatus(TPowerReading& reading);
// The level, 0 to 100, or 255 when the reading does not know it: the percent
// is 255 (or out of range), or the flag is BATTERY_FLAG_UNKNOWN or says there
// is no battery.
uint8_t KnownBatteryLevel(const TPowerReading& reading);
// On: reads the status, makes the queue, subscribes and starts the reader; false
// at the first step that fails. Off: ends the reader, unsubscribes, closes the
// queue; always true.
bool SwitchPowerListener(bool on);
// GetSystemPowerStatusEx without a fresh battery query; status unchanged on failure.
bool ReadAcLineStatus(uint8_t& status);
DWORD WINAPI PowerQueueReader(LPVOID);
// Acts on one status read after a notification: a change to 0 starts the
// sequence, any other change stops it (and re-arms the battery's notice), no
// change does nothing.
void DispatchAcLineStatus(uint8_t currentAcLineStatus);
// Acts on the battery figures of the same reading, after DispatchAcLineStatus: on
// battery (AC line 0), with critical_battery set and the level known and at or
// below it, starts the battery's countdown (StartBatterySequence decides
// whether one may start now). Any level with external power there, or not
// known, does nothing. Keeps the level in lastBatteryPercent.
void DispatchBatteryLevel(const TPowerReading& reading);
// Lets a notification in progress finish and keeps the reader from taking
// another, so that it can be ended without holding a lock. A reader that makes
// the power call is not waited for.
void QuiescePowerQueueReader();

// ---------------------------------------------------------------------------
// Delay, countdown and power action (sequence.cpp)

const DWORD TickInterval = 1000;  // ms before every tick of either thread
// Stack reserved for each of the monitor's own threads, the device's default.
const DWORD kWorkerStackSize = 64 * 1024;

extern std::atomic<HANDLE> DelayThread;
extern std::atomic<HANDLE> CountdownThread;
extern std::atomic<int32_t> tickCount;
extern std::atomic<bool> delayRunning;
extern std::atomic<bool> countdownRunning;
// The thread that is changing the sequence (running a tick, a start, a stop or
// the close), 0 when none. Taken with a compare-exchange and waited for; it
// stands for the busy flags of both phases, which a claim makes one.
extern std::atomic<DWORD> sequenceBusy;
extern std::atomic<bool> skipNextTick;
// The same rule for the delay thread when another thread parked it.
extern std::atomic<bool> skipNextDelayTick;

// What the sequence in progress is for, changed under the claim: nothing, a
// power loss (its delay, then its notice), or a low battery (its notice at once).
enum : uint8_t { kNoSequence, kPowerLost, kBatteryLow };
extern std::atomic<uint8_t> sequenceKind;
// The battery's level when the user last cancelled a notice, -1 when none
// since the start or since external power last came. Changed under the claim.
extern std::atomic<int> batteryCancelLevel;
// After a cancel the battery's notice comes again only this many points below
// the level at the cancel (or once external power has come and gone again).
const int kBatteryRearmDrop = 5;
// The warning sound (warning_sound): one sound as the notice appears, another at
// each tick that shows one of the last kLastBeepSeconds seconds.
const UINT kNoticeBeep = MB_ICONEXCLAMATION;
const UINT kLastSecondsBeep = MB_OK;
const int32_t kLastBeepSeconds = 3;

// Each worker thread is created parked; false when it could not be made.
bool CreateDelayThread();
bool CreateCountdownThread();
// Lets the tick in progress finish, then ends both threads (handles become 0)
// and clears every flag.
void EndWorkerThreads();
// Ends a thread of the monitor and waits (a moment at most) until it has ended:
// TerminateThread only asks, and the thread runs on for a while.
void EndThread(HANDLE thread);
// One turn of a busy wait: up to 1 ms, serving the messages sent to the calling
// thread meanwhile (the thread waited for may be inside SetText or SetVisible,
// which wait for the user-interface thread).
void ServeSentMessages();
// Whether that thread is making the power call just now (it has let go of the
// sequence; nothing may park or end it meanwhile).
bool MakingPowerCall(DWORD thread);

void StartSequence(TMonitorWindow* monitor);
// A stop from outside the countdown that cancels a sequence in progress (a
// delay, a countdown, or a power call not begun) records cancelEvent, if given.
void StopSequence(TMonitorWindow* monitor, bool fromCountdown, const char* cancelEvent = nullptr);
// The stop of a pointer movement: as StopSequence, and when it cancelled a
// notice (or the power call its last tick had decided on), the battery's level
// at that moment is kept in batteryCancelLevel.
void CancelSequence(TMonitorWindow* monitor);
// The battery's notice at once, no delay (the battery is low already), with
// the countdown and power call of the power loss's. Refused (false) while a
// sequence or a power call is in progress, or above the re-arm level after a
// cancel.
bool StartBatterySequence(TMonitorWindow* monitor, uint8_t level);
// External power has come: a cancel no longer holds the battery's notice back.
void RearmBatteryNotice();
// A delay or countdown runs, or its power call is due or under way. Decisive
// only under the claim.
bool SequenceInProgress();
// Runs proc(context) holding the sequence, when no sequence is in progress;
// false (nothing run) otherwise.
bool RunBetweenSequences(void (*proc)(void*), void* context);
void DelayTick(TMonitorWindow* monitor);
void CountdownTick(TMonitorWindow* monitor);
void ResumeDelayThread();
void ResumeCountdownThread();
void SuspendDelayThread();
void SuspendCountdownThread(bool skip);
// OnMouseMove of the form and both labels: any movement cancels.
void OnOverlayMouseMove(void* context, TControl* sender, TMouseEventData& data);

// Tests shorten the pause between ticks; the program keeps TickInterval.
void SetTickIntervalForTesting(DWORD milliseconds);

// ---------------------------------------------------------------------------
// Overlay (overlay.cpp)

// OnShow of frmMain: full screen, topmost, no caption, font height and layout.
void OnOverlayShow(void* context, TControl* sender);
// False for a mouse move at the very spot where the pointer rested when the
// overlay appeared: the system's notice that a window came up under a resting
// pointer (Wine sends one on EnterNotify, desktop Windows does the same), not a
// movement. Every other position, however close, counts.
bool PointerMovedSinceShow(TControl* sender, const TMouseEventData& data);
// Puts both lines in and makes the overlay visible (OnOverlayShow lays it out).
void ShowOverlay(TMonitorWindow* monitor, const std::wstring& line1, const std::wstring& line2);
// Rewrites the countdown line only; the layout stays as the show made it.
void SetCountdownLine(TMonitorWindow* monitor, const std::wstring& line1);
// No menu bar, topmost, no caption, hidden; the labels hold recovery and wait.
void ResetOverlay(TMonitorWindow* monitor);
