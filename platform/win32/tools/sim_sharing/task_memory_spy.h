// The program's CoTaskMemFree of the task memory simsharing.dll hands out (the connection
// manager's records and their texts), counted as the simulated notebook counts them
// (`expect ics calls task-mem-free N`): the free goes to the system's allocator, so a malloc
// spy registered in the program's process sees it. Each free of a block handed out here is
// logged as `call task-mem-free() -> 0x00000000` in the sharing service's log.
//
// Owner: one spy per process, made and registered at the first allocation and never released
// (COM keeps it until CoRevokeMallocSpy, which nothing calls). Threads: any; one lock.
#pragma once

#include <cstddef>

namespace tethra::tools {

// CoTaskMemAlloc, with the spy registered first (a block allocated before it would be freed
// past it) and the block watched until the program frees it. Null when out of memory.
void* AllocateTrackedTaskMemory(std::size_t bytes);

}  // namespace tethra::tools
