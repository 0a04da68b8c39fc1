#include "encoders/vorbis_library.h"

#include <dlfcn.h>

#include <mutex>

namespace murmex {

namespace {

// One lock for every binding in the process: the writer on its worker thread and a reader on the
// window's thread may both ask for the libraries at the same time.
std::mutex& LoadLock() {
  static std::mutex lock;
  return lock;
}

template <typename Fn>
bool Resolve(void* handle, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(dlsym(handle, name));
  return slot != nullptr;
}

constexpr std::size_t Index(VorbisLib lib) { return static_cast<std::size_t>(lib); }

}  // namespace

VorbisLibrary& VorbisLibrary::Instance() {
  static VorbisLibrary instance({kDefaultFileNames[0], kDefaultFileNames[1], kDefaultFileNames[2],
                                 kDefaultFileNames[3]});
  return instance;
}

VorbisLibrary::VorbisLibrary(std::array<std::string, 4> fileNames)
    : fileNames_(std::move(fileNames)) {}

VorbisLibrary::~VorbisLibrary() {
  for (void* handle : handles_) {
    if (handle != nullptr) dlclose(handle);
  }
}

const char* VorbisLibrary::MissingMessage(VorbisLib lib) {
  switch (lib) {
    case VorbisLib::Ogg: return "ogg.dll library could not be loaded.";
    case VorbisLib::Vorbis: return "vorbis.dll library could not be loaded.";
    case VorbisLib::VorbisFile: return "vorbisfile.dll library could not be loaded.";
    case VorbisLib::VorbisEnc: return "vorbisenc.dll library could not be loaded.";
  }
  return "";
}

bool VorbisLibrary::IsLoaded(VorbisLib lib) const {
  return loaded_[Index(lib)].load(std::memory_order_acquire);
}

std::string VorbisLibrary::Require(std::initializer_list<VorbisLib> libs) {
  {
    std::lock_guard guard(LoadLock());
    for (VorbisLib lib : libs) {
      if (!IsLoaded(lib)) LoadLocked(lib);
    }
  }
  for (VorbisLib lib : {VorbisLib::Ogg, VorbisLib::Vorbis, VorbisLib::VorbisFile,
                        VorbisLib::VorbisEnc}) {
    for (VorbisLib wanted : libs) {
      if (wanted == lib && !IsLoaded(lib)) return MissingMessage(lib);
    }
  }
  return {};
}

bool VorbisLibrary::LoadLocked(VorbisLib lib) {
  void*& handle = handles_[Index(lib)];
  if (handle == nullptr) handle = dlopen(fileNames_[Index(lib)].c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return false;

  bool found = true;
#define MURMEX_VORBIS_RESOLVE(name) found = Resolve(handle, #name, api_.name) && found;
  switch (lib) {
    case VorbisLib::Ogg: MURMEX_OGG_ENTRY_POINTS(MURMEX_VORBIS_RESOLVE) break;
    case VorbisLib::Vorbis: MURMEX_VORBIS_ENTRY_POINTS(MURMEX_VORBIS_RESOLVE) break;
    case VorbisLib::VorbisFile: MURMEX_VORBISFILE_ENTRY_POINTS(MURMEX_VORBIS_RESOLVE) break;
    case VorbisLib::VorbisEnc: MURMEX_VORBISENC_ENTRY_POINTS(MURMEX_VORBIS_RESOLVE) break;
  }
#undef MURMEX_VORBIS_RESOLVE
  loaded_[Index(lib)].store(found, std::memory_order_release);
  return found;
}

}  // namespace murmex
