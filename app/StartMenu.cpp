#include "app/StartMenu.h"

#include <objbase.h>

#include <atomic>

namespace moirelle::app {
namespace {

// The system's launcher-visibility service (Windows 8 and later), declared here because
// the headers hide it from builds that aim at Windows 7.
constexpr CLSID kAppVisibility = {
    0x7e5fe3d9, 0x985f, 0x4908, {0x91, 0xf9, 0xee, 0x19, 0xf9, 0xfd, 0x15, 0x14}};
constexpr IID kIAppVisibility = {
    0x2246ea2d, 0xcaea, 0x4444, {0xa3, 0xc4, 0x6d, 0xe8, 0x27, 0xe4, 0x43, 0x13}};
constexpr IID kIAppVisibilityEvents = {
    0x6584ce6b, 0x7d82, 0x49c2, {0x89, 0xc9, 0xc6, 0xbc, 0x02, 0xba, 0x8c, 0x38}};

// COM objects are released through Release, never deleted through a base pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

enum AppVisibilityMode { kUnknown = 0, kNoAppVisible = 1, kAppVisible = 2 };

struct IAppVisibilityEventsSink : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AppVisibilityOnMonitorChanged(HMONITOR monitor,
                                                                    AppVisibilityMode previous,
                                                                    AppVisibilityMode now) = 0;
    virtual HRESULT STDMETHODCALLTYPE LauncherVisibilityChange(BOOL visible) = 0;
};

struct IAppVisibilityService : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetAppVisibilityOnMonitor(HMONITOR monitor,
                                                                AppVisibilityMode* mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsLauncherVisible(BOOL* visible) = 0;
    virtual HRESULT STDMETHODCALLTYPE Advise(IAppVisibilityEventsSink* sink, DWORD* cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) = 0;
};

#pragma GCC diagnostic pop

IAppVisibilityService* Service(const win::ComPtr<IUnknown>& p) {
    return static_cast<IAppVisibilityService*>(p.Get());
}

bool Overlap(LONG a0, LONG a1, LONG b0, LONG b1) {
    return a0 < b1 && b0 < a1;
}

// The rectangles share an edge and overlap along it.
bool LiesAgainst(const RECT& m, const RECT& b) {
    if ((m.bottom == b.top || m.top == b.bottom) && Overlap(m.left, m.right, b.left, b.right))
        return true;
    return (m.right == b.left || m.left == b.right) && Overlap(m.top, m.bottom, b.top, b.bottom);
}

} // namespace

bool IsStartMenuWindow(const MenuWindowFacts& w) {
    if (!w.visible || !w.ofShell) return false;
    if (w.className == L"DV2ControlHost") return true;
    return w.className == L"#32768" && LiesAgainst(w.rect, w.startButton);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class LauncherVisibility::Sink final : public IAppVisibilityEventsSink {
  public:
    explicit Sink(std::function<void(bool)> changed) : changed_(std::move(changed)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == kIAppVisibilityEvents) {
            *out = static_cast<IAppVisibilityEventsSink*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE AppVisibilityOnMonitorChanged(HMONITOR, AppVisibilityMode,
                                                            AppVisibilityMode) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LauncherVisibilityChange(BOOL visible) override {
        if (changed_) changed_(visible != FALSE);
        return S_OK;
    }

  private:
    std::function<void(bool)> changed_;
    std::atomic<ULONG> refs_{1};
};
#pragma GCC diagnostic pop

LauncherVisibility::LauncherVisibility(std::function<void(bool)> changed) {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comStarted_ = SUCCEEDED(hr);
    IAppVisibilityService* raw = nullptr;
    if (FAILED(CoCreateInstance(kAppVisibility, nullptr, CLSCTX_INPROC_SERVER, kIAppVisibility,
                                reinterpret_cast<void**>(&raw))) ||
        !raw)
        return;
    auto service = win::ComPtr<IUnknown>::Attach(raw);
    // The service keeps its own reference to the sink while advised.
    auto sink = win::ComPtr<Sink>::Attach(new Sink(std::move(changed)));
    if (FAILED(raw->Advise(sink.Get(), &cookie_))) return;
    service_ = std::move(service);
}

LauncherVisibility::~LauncherVisibility() {
    if (service_) Service(service_)->Unadvise(cookie_);
    service_.Reset();
    if (comStarted_) CoUninitialize();
}

bool LauncherVisibility::Visible() const {
    BOOL visible = FALSE;
    return service_ && SUCCEEDED(Service(service_)->IsLauncherVisible(&visible)) && visible;
}

} // namespace moirelle::app
