#include "engine/thread_links.h"

uint32_t schedulerThreadId = 0;

namespace {
int32_t runState = RUN_RUNNING;
}

int32_t currentRunState() { return __atomic_load_n(&runState, __ATOMIC_ACQUIRE); }
void setRunState(int32_t state) { __atomic_store_n(&runState, state, __ATOMIC_RELEASE); }
