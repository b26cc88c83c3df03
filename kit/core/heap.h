// Heap: sets the allocator up for the whole run: freed memory kept for reuse, and huge pages.
//
// Two costs showed up in profiles, both in the kernel filling fresh pages on first touch:
// - Opening a large history allocates a few hundred megabytes in small pieces; on 4 KiB pages a quarter of
//   its time went to those faults. The C library's allocator asks for transparent huge pages only when told
//   so at start-up (the glibc.malloc.hugetlb tunable), so a program that wants them starts itself once more
//   with the tunable set.
// - Pictures for a PDF are decoded one after another into buffers of a few to 36 megabytes. By default the
//   allocator maps each such buffer on its own and returns it to the system when freed, so every photo
//   faulted its buffers in anew: a fifth of a JPEG's time. The heap now serves blocks up to 32 MB and
//   keeps up to 64 MB free at its top for the next one.
// Nothing changes for what the program does or prints.
#pragma once

namespace quillmark::Heap {

// Call first thing in main, before any thread starts. The allocator's thresholds are set in any case. For
// huge pages, returns at once when they are in use already, when the system gives them only on request and
// this C library cannot ask, or when the allocator is not the C library's (sanitizer builds). Otherwise
// replaces the process with a new start of the same program, with the same arguments; when that fails, the
// program goes on as it was. In the new start, the environment is set back to what it was, so that programs
// started from here inherit nothing of this.
void setUpAtStart(char** argv);

}  // namespace quillmark::Heap
