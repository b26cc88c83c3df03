// HugePages: backs the allocator's heap with transparent huge pages for the whole run.
//
// Opening a large history allocates a few hundred megabytes in small pieces; on 4 KiB pages a quarter of
// the time went to the kernel filling each page on first touch. The C library's allocator asks for huge
// pages only when told so at start-up (the glibc.malloc.hugetlb tunable), so a program that wants them
// starts itself once more with the tunable set. Nothing changes for what the program does or prints.
#pragma once

namespace quillmark::HugePages {

// Call first thing in main, before any thread starts. Returns at once when huge pages are in use already,
// when the system gives them only on request and this C library cannot ask, or when the allocator is not
// the C library's (sanitizer builds). Otherwise replaces the process with a new start of the same program,
// with the same arguments; when that fails, the program goes on as it was. In the new start, the
// environment is set back to what it was, so that programs started from here inherit nothing of this.
void enableAtStart(char** argv);

}  // namespace quillmark::HugePages
