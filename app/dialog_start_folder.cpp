#include "app/dialog_start_folder.h"

#include <linux/magic.h>
#include <sys/statfs.h>

#include <QDir>
#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <system_error>

namespace murmex {
namespace {

namespace fs = std::filesystem;

// Not every kernel header names these.
constexpr uint32_t kConfigfsMagic = 0x62656570;
constexpr uint32_t kFuseControlMagic = 0x65735543;
constexpr uint32_t kMqueueMagic = 0x19800202;

// Filesystems whose files are kernel interfaces rather than documents; reading some blocks.
constexpr std::array<uint32_t, 16> kPseudoFilesystems = {
    PROC_SUPER_MAGIC,   SYSFS_MAGIC,        DEVPTS_SUPER_MAGIC, DEBUGFS_MAGIC,       TRACEFS_MAGIC,
    SECURITYFS_MAGIC,   CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC, PSTOREFS_MAGIC,     BPF_FS_MAGIC,
    kConfigfsMagic,     EFIVARFS_MAGIC,     SELINUX_MAGIC,      BINFMTFS_MAGIC,      kFuseControlMagic,
    kMqueueMagic,
};

// devtmpfs reports itself as tmpfs, so /dev is known by its place instead.
bool UnderDeviceFolder(const fs::path& canonical) {
  auto component = canonical.begin();
  return component != canonical.end() && ++component != canonical.end() && *component == "dev";
}

}  // namespace

bool IsBrowsableFolder(const fs::path& folder) {
  std::error_code error;
  const fs::path canonical = fs::canonical(folder, error);
  if (error || !fs::is_directory(canonical, error) || UnderDeviceFolder(canonical)) return false;
  struct statfs info {};
  if (statfs(canonical.c_str(), &info) != 0) return false;
  const auto type = static_cast<uint32_t>(info.f_type);
  return std::find(kPseudoFilesystems.begin(), kPseudoFilesystems.end(), type) == kPseudoFilesystems.end();
}

std::string DialogStartFolder(const std::string& remembered) {
  std::error_code error;
  const fs::path current = fs::current_path(error);
  const bool currentBrowsable = !error && IsBrowsableFolder(current);
  if (remembered.empty() ? currentBrowsable : IsBrowsableFolder(remembered)) return remembered;
  const fs::path home = QDir::homePath().toStdString();
  if (IsBrowsableFolder(home)) return home.string();
  return currentBrowsable ? current.string() : "/";
}

}  // namespace murmex
