#pragma once

#include <utility>

// CoreFoundation's release, declared here as the SDK declares it so that this header stays free
// of SDK headers (every CF reference type is a pointer that converts to `const void*`).
extern "C" void CFRelease(const void* object);

namespace thumbrover {

// Owns one CoreFoundation or CoreGraphics reference from a Create or Copy call (or one retained
// with CFRetain) and releases it exactly once.
template <typename Ref>
class CfOwned {
  public:
    CfOwned() = default;
    explicit CfOwned(Ref ref) noexcept : ref_(ref) {}
    CfOwned(const CfOwned&) = delete;
    CfOwned& operator=(const CfOwned&) = delete;
    CfOwned(CfOwned&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
    CfOwned& operator=(CfOwned&& other) noexcept {
        if (this != &other) {
            reset();
            ref_ = std::exchange(other.ref_, nullptr);
        }
        return *this;
    }
    ~CfOwned() { reset(); }

    [[nodiscard]] Ref get() const noexcept { return ref_; }
    explicit operator bool() const noexcept { return ref_ != nullptr; }
    void reset() noexcept {
        if (ref_ != nullptr) CFRelease(ref_);
        ref_ = nullptr;
    }

  private:
    Ref ref_ = nullptr;
};

}  // namespace thumbrover
