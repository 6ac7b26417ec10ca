// What every program does for its files at its start and at its end by a
// signal: descriptors 0, 1 and 2 are open before any file is opened, and a
// temporary file goes with the process that made it, unless kill -9 ends it.
#pragma once

#include <string>

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// no file opened later takes one of them and gets the console's text (as
// the system's own tools do). false where one could not be opened: the
// program must not go on.
bool openstandardstreams();

// From now on SIGTERM, SIGINT and SIGHUP remove every temporary file still
// held, then end the process by the signal itself. A signal the process was
// started with ignored (nohup) stays ignored. Nothing on Windows.
void removetempsonsignals();

// A temporary file the signals of removetempsonsignals remove, until it is
// let go (renamed into place or removed).
void holdtemp(const std::string& name);
void lettemp(const std::string& name);
