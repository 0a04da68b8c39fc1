#pragma once

#include <stdexcept>
#include <string>

namespace murmex {

// Every error the pipeline raises; the message is the English text shown to the user.
class EAuException : public std::runtime_error {
public:
    explicit EAuException(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace murmex
