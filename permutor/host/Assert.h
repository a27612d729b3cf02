// The module's assertions: a broken internal rule goes to one replaceable handler. Until someone
// installs another, the handler raises TAssertionFailure, which the exported boundaries turn
// into a failure status; a handler that returns lets execution go on after the assertion.
#pragma once

#include <atomic>
#include <stdexcept>
#include <string>

namespace permutor::host {

class TAssertionFailure : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

using TAssertionHandler = void (*)(const char* file, int line, const char* message);

// "Assertion Failed: File: <file>, Line: <line>, Msg :<message>".
inline std::string Assertion_Text(const char* file, int line, const char* message) {
    return std::string("Assertion Failed: File: ") + (file ? file : "") + ", Line: " + std::to_string(line) +
           ", Msg :" + (message ? message : "");
}

inline void Assertion_Raise(const char* file, int line, const char* message) {
    throw TAssertionFailure(Assertion_Text(file, line, message));
}

namespace detail {
inline std::atomic<TAssertionHandler> GAssertionHandler{&Assertion_Raise};
} // namespace detail

// Installs `handler` for the whole module (none restores the raising one); returns the previous.
inline TAssertionHandler Assertion_SetHandler(TAssertionHandler handler) {
    return detail::GAssertionHandler.exchange(handler ? handler : &Assertion_Raise);
}
inline TAssertionHandler Assertion_Handler() {
    return detail::GAssertionHandler.load();
}
inline void Assertion_Failed(const char* file, int line, const char* message) {
    Assertion_Handler()(file, line, message);
}

} // namespace permutor::host

// Checks an internal rule; on failure calls the module's assertion handler with the place and
// `message`, and evaluates to whether the rule held, so that code can step around the failure
// when the handler lets it go on.
#define PERMUTOR_ASSERT(condition, message)                                                                  \
    ((condition) ? true : (::permutor::host::Assertion_Failed(__FILE__, __LINE__, message), false))
