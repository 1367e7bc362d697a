// The links a library reaches other libraries through, as a program's start installs them:
// each call through a link that is not installed answers from the library's stand-in and notes
// that it did, so that a program that forgot to install its links is noticed.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

// True when every member of a hook record is set. A hook record holds only pointers (to
// records or to functions, one word each), so a member left null is a word of zero.
template <typename Hooks>
bool LinkHooksComplete(const Hooks& hooks) {
  static_assert(std::is_trivially_copyable_v<Hooks> && sizeof(Hooks) % sizeof(uintptr_t) == 0,
                "a hook record holds only pointers");
  uintptr_t words[sizeof(Hooks) / sizeof(uintptr_t)];
  std::memcpy(words, &hooks, sizeof hooks);
  for (uintptr_t w : words)
    if (w == 0) return false;
  return true;
}

template <typename Hooks>
class LinkHooks {
 public:
  // Installs the links (null members keep the stand-ins) and forgets the stand-ins used.
  void install(const Hooks& hooks) {
    hooks_ = hooks;
    standInUsed_ = false;
  }
  // True when a stand-in served a call since the last install.
  bool standInUsed() const { return standInUsed_; }

  // The installed link (a pointer or a function), or null with the stand-in noted.
  template <typename T>
  T get(T Hooks::*member) {
    T link = hooks_.*member;
    if (!link) standInUsed_ = true;
    return link;
  }
  // What an installed record link points to, or the stand-in.
  template <typename T, typename U>
  T& ref(T* Hooks::*member, U& standIn) {
    T* link = get(member);
    return link ? *link : standIn;
  }

 private:
  Hooks hooks_;
  bool standInUsed_ = false;
};
