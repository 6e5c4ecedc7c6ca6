#pragma once

#include <chrono>
#include <functional>

typedef struct _GCancellable GCancellable;

// Runs a blocking GLib call (libsecret, GDBus) on a thread of its own with a fresh
// GCancellable, which is cancelled when the deadline passes. The calling thread waits at most
// the deadline plus a short grace for the call to notice; a call that still has not returned
// is abandoned (its thread finishes on its own), so no caller waits for an unanswered prompt.
namespace CancellableCall {

inline constexpr std::chrono::milliseconds kGrace{1000};

// True when `work` returned in time. `work` must own everything it touches (capture by value
// or by shared pointer): an abandoned call may still run after this returns.
bool run(std::function<void(GCancellable*)> work, std::chrono::milliseconds deadline);

} // namespace CancellableCall
