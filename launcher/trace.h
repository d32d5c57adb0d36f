#pragma once

// The trace: one line on standard output for each thing the launcher does
// (the configuration path, any parse error, the jar, the main class, the
// working directory, each JVM option). Whether a product wants it is known
// only once config.json is read ("trace"; LAUNCHER_TRACE=1 in the environment
// turns it back on for a run), so the launcher holds its lines back until
// that is decided, or until a failure is reported. Until held, lines are
// written as they come.
void traceLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// From now on lines are held back until decideTrace.
void holdTrace();

// The lines held back and every later one are written, or all are dropped.
void decideTrace(bool written);

// Lines still held back are written (a launch that stops before config.json
// decided shows how far it came); a decision already made stands.
void writeHeldTrace();
