#pragma once
// The threads libburn starts inside the engine (scan, write, erase). libburn
// starts them detached and offers no way to wait for their end: its drive
// reads idle while its worker still runs library code. Every thread it asks
// for detached is started joinable instead, through a start routine that
// notes when libburn's routine has returned (the engine is linked with
// --wrap=pthread_create), so the engine can wait until each one has really
// ended before an entry returns or the library is unloaded.

namespace qv::engine {

// True while a thread started on libburn's behalf is still in libburn's code.
bool LibburnThreadsRunning();

// Waits for every such thread started so far to end. Call only once libburn
// reads idle, so the wait is for the few steps its worker takes after that.
void JoinLibburnThreads();

} // namespace qv::engine
