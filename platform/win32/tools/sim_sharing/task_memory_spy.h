// The program's CoTaskMemFree of the task memory simsharing.dll hands out (the connection
// manager's records and their texts), counted as the simulated notebook counts them
// (`expect ics calls task-mem-free N`): the free goes to the system's allocator, so a malloc
// spy registered in the program's process sees it. Each free of a block handed out here is
// logged as `call task-mem-free() -> 0x00000000` in the sharing service's log.
//
// Owner: one spy per process, made and registered at the first Track() and never released
// (COM keeps it until CoRevokeMallocSpy, which nothing calls). Threads: any; one lock.
#pragma once

namespace tethra::tools {

// Watches `block` (from CoTaskMemAlloc) until the program frees it. Null is ignored.
void TrackTaskMemory(void* block);

}  // namespace tethra::tools
