// Desktop stand-in for the device's MessageBeep: written to the power log beside
// the power calls, and sounded only when VORLIX_SOUND=real asks for it.
#include "platform/ce/ce_sound.h"

#include "platform/desktop/power_standin.h"

SoundKind ParseSound(const wchar_t* text) {
  if (!text || !*text || lstrcmpiW(text, L"recorded") == 0) return SoundKind::Recorded;
  if (lstrcmpiW(text, L"real") == 0) return SoundKind::Real;
  return SoundKind::Invalid;
}

SoundKind ConfiguredSound() { return ParseSound(EnvironmentText(L"VORLIX_SOUND").c_str()); }

BOOL WINAPI PlatformMessageBeep(UINT uType) {
  SoundKind kind = ConfiguredSound();
  if (kind == SoundKind::Invalid) {
    SetLastError(ERROR_BAD_CONFIGURATION);
    return FALSE;
  }
  char entry[64];
  wsprintfA(entry, "MessageBeep type=0x%08lX mode=%s", static_cast<unsigned long>(uType),
            kind == SoundKind::Real ? "real" : "recorded");
  DWORD result = AppendToPowerLog(entry);
  if (kind == SoundKind::Real) return MessageBeep(uType);
  if (result != ERROR_SUCCESS) {
    SetLastError(result);
    return FALSE;
  }
  return TRUE;
}
