#pragma once
// File names as the file system holds them. A Linux name is bytes, not always UTF-8; a QString
// made from such a name has lost them (each stray byte became U+FFFD) and names no file, so the
// paths the window is given on the command line and by drops are taken as bytes.
#include <QUrl>
#include <optional>
#include <string>

namespace murmex {

// The absolute path of a file named on the command line, its bytes kept.
std::string PathOfArgument(const char* argument);

// The local file a URL names, its bytes kept (the URL carries them percent-encoded); nothing for
// a URL of another scheme.
std::optional<std::string> LocalPathOfUrl(const QUrl& url);

}  // namespace murmex
