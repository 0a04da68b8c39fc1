#include "pipeline/au_input.h"

#include <cstring>
#include <string>

#include "pipeline/au_exception.h"

namespace murmex {

void TAuInput::StartInput() {
    std::string failure;
    {
        std::lock_guard<std::recursive_mutex> guard(DataLock);
        FStartFailed = false;
        try {
            StartImpl();
        } catch (const std::exception& error) {
            FStartFailed = true;
            failure = error.what();
        }
    }
    if (FStartFailed) throw EAuException(failure);
}

void TAuInput::FinishInput() {
    std::lock_guard<std::recursive_mutex> guard(DataLock);
    FinishImpl();
}

void TAuInput::GetBlock(const uint8_t*& buffer, std::size_t& bytes) {
    std::lock_guard<std::recursive_mutex> guard(DataLock);
    ReadImpl(buffer, bytes);
}

void TAuInput::ResetInput() {
    try {
        FinishInput();
    } catch (const std::exception&) {
        // Resetting must always leave the input closed; a failing finish changes nothing.
    }
}

std::size_t TAuInput::CopyBlock(void* dest, std::size_t count) {
    const uint8_t* buffer = nullptr;
    std::size_t bytes = count;
    GetBlock(buffer, bytes);
    if (buffer == nullptr) return 0;
    std::memcpy(dest, buffer, bytes);
    return bytes;
}

std::size_t TAuInput::FillBlock(void* dest, std::size_t count, bool& endOfInput) {
    auto* bytes = static_cast<uint8_t*>(dest);
    std::size_t total = 0;
    endOfInput = false;
    while (total < count) {
        const std::size_t delivered = CopyBlock(bytes + total, count - total);
        if (delivered == 0) {
            endOfInput = true;
            break;
        }
        total += delivered;
    }
    return total;
}

}  // namespace murmex
