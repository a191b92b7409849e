#pragma once
// What every image control offers the state that the image controls of one container share.

#include <cstdint>
#include <memory>

namespace moirelle::control {

class cCrossComm;

class ICrossComm {
  public:
    // The container's shared state as this instance holds it; null while not connected.
    virtual std::shared_ptr<cCrossComm> CrossTalkClass() = 0;
    // The instance has lost the pointer (another instance took it, or it left).
    virtual void ReleaseMouseCapture() = 0;

  protected:
    ~ICrossComm() = default;
};

// An instance's identity: the address of its ICrossComm part, pointer-sized, never 0.
inline intptr_t IdentityOf(ICrossComm* c) {
    return reinterpret_cast<intptr_t>(c);
}
inline ICrossComm* FromIdentity(intptr_t id) {
    return reinterpret_cast<ICrossComm*>(id);
}

} // namespace moirelle::control
