// The base of the test helpers that hold something for their lifetime (a hook,
// a folder, a registry key, a subclass): copying one would let go of it twice.
#pragma once

class NoCopy {
 public:
  NoCopy(const NoCopy&) = delete;
  NoCopy& operator=(const NoCopy&) = delete;

 protected:
  NoCopy() = default;
  ~NoCopy() = default;
};
