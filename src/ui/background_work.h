#pragma once
// Long work of a capture pass, done without freezing the window.

#include <functional>

namespace tallowin {

// Runs `work` on a thread of its own and handles this thread's events until it
// ends: the window repaints, answers and takes input meanwhile, and a newer
// copy's pass may run inside the wait. Returns when the work has ended, also
// when the program is asked to quit meanwhile; an exception of `work` is thrown
// here. Must be called on the thread that owns the program's objects.
void RunWhileHandlingEvents(const std::function<void()>& work);

}  // namespace tallowin
