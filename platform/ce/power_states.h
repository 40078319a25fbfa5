// Power-state values of the Windows CE power manager. Kept free of <windows.h> so
// that the settings reader also builds natively (fuzzing on Linux).
#pragma once

#ifndef POWER_STATE_ON
#define POWER_STATE_ON 0x00010000u
#define POWER_STATE_OFF 0x00020000u
#define POWER_STATE_CRITICAL 0x00040000u
#define POWER_STATE_BOOT 0x00080000u
#define POWER_STATE_IDLE 0x00100000u
#define POWER_STATE_SUSPEND 0x00200000u
#define POWER_STATE_UNATTENDED 0x00400000u
#define POWER_STATE_RESET 0x00800000u
#define POWER_STATE_USERIDLE 0x01000000u
#define POWER_STATE_BACKLIGHTON 0x02000000u
#define POWER_STATE_PASSWORD 0x10000000u
#endif

#ifndef POWER_FORCE
#define POWER_FORCE 0x00001000u
#endif
