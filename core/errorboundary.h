#pragma once

#include <QObject>
#include <functional>
#include <type_traits>

namespace tovel {

class Prompts;

// The program's general error report: runs a handler and shows an error that escaped it once,
// in a message box; the program carries on.
//
// Qt does not support errors thrown through its signal and slot frames (its state afterwards
// is not guaranteed, and each throw leaks), so every handler bound to a signal is connected
// through connectHandler: its errors end inside the slot. The application also runs every
// event through run (TovelApplication::notify), as the last boundary for event handlers.
class ErrorBoundary {
public:
    // Returns false when the handler ended with an error (which has been shown).
    static bool run(Prompts &prompts, const std::function<void()> &handler);
};

namespace detail {

// Runs handler with the signal's arguments, or with none when it takes none.
template <typename Handler, typename... Args>
void runHandler(Prompts &prompts, const Handler &handler, const Args &...args)
{
    ErrorBoundary::run(prompts, [&] {
        if constexpr (std::is_invocable_v<const Handler &, const Args &...>)
            handler(args...);
        else
            handler();
    });
}

} // namespace detail

// Connects signal to handler, run inside the general error report. The handler takes the
// signal's arguments, or none.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection connectHandler(Sender *sender, Signal signal, const QObject *context,
                                       Prompts &prompts, Handler handler)
{
    return QObject::connect(sender, signal, context,
                            [&prompts, handler = std::move(handler)](const auto &...args) {
                                detail::runHandler(prompts, handler, args...);
                            });
}

} // namespace tovel
