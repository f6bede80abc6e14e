#pragma once
// The number of descriptors the process may hold open.
//
// Reading a clipboard owner's types costs a descriptor per type being read,
// and the usual soft limit (1024) is far below what the system allows: the
// program raises it to the hard limit once at start, before any face opens a
// connection.

namespace tallowin {

// Raises the soft limit on open descriptors (RLIMIT_NOFILE) to the hard one.
// Returns false when the limit could not be read or changed; the program then
// runs with the limit it was given.
bool RaiseDescriptorLimit();

}  // namespace tallowin
