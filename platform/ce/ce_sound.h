// The system sound call of coredll, behind the platform seam: the desktop build
// writes it down (platform/desktop), so that the programs' warning can be
// checked without a sound card; a device build makes it the device's own call.
#pragma once

#include <windows.h>

#ifdef _WIN32_WCE
#define PlatformMessageBeep MessageBeep
#else
// MessageBeep as the device has it: uType is MB_OK, MB_ICONEXCLAMATION and the
// like, or 0xFFFFFFFF for the plain beep. TRUE once the sound is under way (it
// plays on while the call returns).
//
// Desktop stand-in (VORLIX_SOUND, read by the stand-in only):
//   recorded (default)  one line appended to the power log (VORLIX_POWER_LOG,
//                       see ce_power.h), nothing sounds:
//                       "YYYY-MM-DD hh:mm:ss.mmm MessageBeep type=0x00000030
//                        mode=recorded" (LF-terminated)
//   real                the line with mode=real, then the desktop's MessageBeep
// Any other value fails with ERROR_BAD_CONFIGURATION and writes nothing.
BOOL WINAPI PlatformMessageBeep(UINT uType);
#endif
