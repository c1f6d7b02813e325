// Who the transfer threads talk to: the scheduler thread's queue and the run state that shortens the FTP logout while the program exits.
#pragma once
#include <cstdint>

enum RunState : int32_t { RUN_EXITING = 1, RUN_RUNNING = 2 };

// Id of the scheduler thread; written once when it is created.
extern uint32_t schedulerThreadId;

// RUN_RUNNING, or RUN_EXITING once the exit began; written by the scheduler thread only.
int32_t currentRunState();
void setRunState(int32_t state);
