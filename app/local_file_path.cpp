#include "app/local_file_path.h"

#include <QByteArray>
#include <filesystem>
#include <system_error>

namespace murmex {

std::string PathOfArgument(const char* argument) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(argument, error);
  return error ? std::string(argument) : absolute.lexically_normal().string();
}

std::optional<std::string> LocalPathOfUrl(const QUrl& url) {
  if (!url.isLocalFile()) return std::nullopt;
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace murmex
