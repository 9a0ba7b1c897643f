#pragma once
// libburn's own messages (severity SORRY and above) reach the error output
// through the engine, never the applet's window: libburn queues them, and
// the engine prints them after each job, except those a user's cancel
// causes.

namespace qv::engine {

// Has libburn queue its messages instead of printing them.
void QueueLibburnMessages();

// Prints the queued messages, or drops them when quiet.
void PrintLibburnMessages(bool quiet);

} // namespace qv::engine
