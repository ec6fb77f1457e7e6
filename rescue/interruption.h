#pragma once

// A request to stop, made by SIGINT or SIGTERM. The handler only records
// the signal; the work asks at safe points: the output writer starts no
// new file once it is set, and a loop that hands out work should stop
// handing it out. Nothing is cut short in the middle of a file.

// Installs handlers for SIGINT and SIGTERM that record the request. Once
// per process, before work starts.
void installInterruptionHandlers();

// True once SIGINT or SIGTERM arrived (or requestInterruption was called).
// Cheap, safe from any thread.
bool interruptionRequested();

// The signal that asked first, or 0.
int interruptionSignal();

// Records a request as the handler does; safe inside a signal handler.
void requestInterruption(int signal);

// Forgets a request: for tests that run several batches in one process.
void clearInterruption();
