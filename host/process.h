// Starting other programs: a program started with default signal handling and an empty
// signal mask (whatever this process blocks or catches), found on PATH when its name holds
// no '/', and the reaping of one that has ended.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace host {

// The folder of this process's own program file ("" when it cannot be told).
std::string ProgramFolder();

// Starts argv[0] with the arguments; the process id, or 0 when it could not be started.
pid_t StartProcess(const std::vector<std::string>& argv);
// The same with "NAME=value" entries put into the started program's environment (replacing
// this process's entries of those names).
pid_t StartProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment);
// Starts argv[0] as StartProcess does, in a process group of its own (its id is the
// process id), so that what it starts in turn can be ended with it. The started program is
// killed when this process dies (the parent-death signal of the direct child).
pid_t StartProcessGroup(const std::vector<std::string>& argv);
// Ends a group made by StartProcessGroup: SIGTERM to every member, then SIGKILL to those left
// after graceMs; reaps its leader. True when no member is left.
bool EndProcessGroup(pid_t group, int graceMs);
// True while a member of the group is running (a leader not yet reaped counts).
bool ProcessGroupAlive(pid_t group);

// Reaps the child without waiting: true when it has ended (or is not a child of this process).
bool ReapProcess(pid_t pid);
// Waits at most timeoutMs for the child to end, and reaps it: true when it has ended.
bool WaitProcess(pid_t pid, int timeoutMs);
// Reaps every program started here that has ended, so that none stays behind as a zombie
// until its owner next looks at it (called regularly by the program's event loop). The owner
// then finds it ended as before.
void ReapEndedProcesses();

}  // namespace host
