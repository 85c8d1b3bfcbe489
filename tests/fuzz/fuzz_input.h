// Reads a fuzzer's input as a sequence of choices: small numbers and texts taken from the
// front, so that nearby inputs make nearby choices and every input is a valid sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace comsetup::fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return at_ >= size_; }

    // The next byte, 0 once the input is used up.
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

    // A number from 0 to count - 1.
    int Pick(int count) { return count <= 1 ? 0 : Byte() % count; }

    bool Flag() { return (Byte() & 1) != 0; }

    // A text of up to max bytes: its length first, then its bytes.
    std::string Text(std::size_t max) {
        std::size_t length = Byte();
        if (length > max) {
            length %= max + 1;
        }
        length = std::min(length, size_ - std::min(at_, size_));
        std::string text(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return text;
    }

    // Everything not read yet.
    std::string Rest() {
        std::string text(reinterpret_cast<const char*>(data_ + std::min(at_, size_)),
                         size_ - std::min(at_, size_));
        at_ = size_;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Stops the run with the fuzzer's crash report when a property does not hold.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (false)

} // namespace comsetup::fuzz
