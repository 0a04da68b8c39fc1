#pragma once

#include <filesystem>
#include <string>

namespace murmex {

// True for an existing folder on an ordinary filesystem; false for anything on a kernel
// pseudo-filesystem (/proc, /sys, /dev and the like) or that cannot be examined.
bool IsBrowsableFolder(const std::filesystem::path& folder);

// The folder a load or save dialog opens in, given the one the program remembered (empty when
// nothing was chosen yet). A file dialog lists and peeks into what it shows, and in /proc that
// can block for ever (/proc/kmsg), so a pseudo-filesystem is never offered: the remembered folder
// if it is browsable; for an empty one, empty (the dialog's default, the current folder) while
// the current folder is browsable; otherwise the user's home, else the current folder, else "/".
std::string DialogStartFolder(const std::string& remembered);

}  // namespace murmex
