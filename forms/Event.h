#pragma once
// One event of a control or form: holds the single handler the owner attached, a callable
// or a member function of the owner, and raises it. Raising an event without a handler
// does nothing.

#include <functional>
#include <utility>

namespace moirelle::forms {

template <class... Args> class Event {
  public:
    using Handler = std::function<void(Args...)>;

    Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    Event& operator=(Handler handler) {
        handler_ = std::move(handler);
        return *this;
    }
    // Attaches object->method as the handler.
    template <class C, class M> void Bind(C* object, M method) {
        handler_ = [object, method](Args... args) { (object->*method)(args...); };
    }
    void Clear() { handler_ = nullptr; }
    explicit operator bool() const { return static_cast<bool>(handler_); }

    // The handler runs from a copy: it may destroy the event's owner, and so this event.
    void operator()(Args... args) const {
        if (!handler_) return;
        const Handler handler = handler_;
        handler(args...);
    }

  private:
    Handler handler_;
};

} // namespace moirelle::forms
