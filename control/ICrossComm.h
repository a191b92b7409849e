#pragma once
// What every image control offers the shared state of its container.

#include <cstdint>
#include <memory>

namespace moirelle::control {

class cCrossComm;

class ICrossComm {
  public:
    virtual std::shared_ptr<cCrossComm> CrossTalkClass() = 0; // null while not connected
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
