#include "encoders/lame_library.h"

#include <dlfcn.h>

#include <mutex>

namespace murmex {

namespace {

struct LameState {
  std::mutex lock;
  std::string fileName = LameLibrary::kDefaultFileName;
  void* handle = nullptr;
  int references = 0;
  LameApi api;
};

LameState& State() {
  static LameState state;
  return state;
}

template <typename Fn>
bool Resolve(void* handle, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(dlsym(handle, name));
  return slot != nullptr;
}

}  // namespace

bool LameLibrary::Acquire() {
  LameState& s = State();
  std::lock_guard guard(s.lock);
  if (s.handle == nullptr) {
    void* handle = dlopen(s.fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return false;
    bool found = true;
#define MURMEX_LAME_RESOLVE(name) found = Resolve(handle, #name, s.api.name) && found;
    MURMEX_LAME_ENTRY_POINTS(MURMEX_LAME_RESOLVE)
#undef MURMEX_LAME_RESOLVE
    if (!found) {
      dlclose(handle);
      s.api = LameApi{};
      return false;
    }
    s.handle = handle;
  }
  ++s.references;
  return true;
}

void LameLibrary::Release() {
  LameState& s = State();
  std::lock_guard guard(s.lock);
  if (s.references == 0) return;
  if (--s.references == 0) {
    dlclose(s.handle);
    s.handle = nullptr;
    s.api = LameApi{};
  }
}

bool LameLibrary::IsLoaded() {
  LameState& s = State();
  std::lock_guard guard(s.lock);
  return s.handle != nullptr;
}

const LameApi& LameLibrary::Api() { return State().api; }

void LameLibrary::SetFileName(std::string fileName) {
  LameState& s = State();
  std::lock_guard guard(s.lock);
  s.fileName = std::move(fileName);
}

}  // namespace murmex
