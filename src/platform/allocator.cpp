#include "platform/allocator.h"

#include <cstdlib>  // defines __GLIBC__ with the C library's own headers

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kolva {

void KeepHeapForSearches() {
#ifdef __GLIBC__
    mallopt(M_TOP_PAD, 4 << 20);
    // Setting the pad turns off the library's sliding threshold for mapping large blocks, so
    // every block above 128 KB would be mapped, and faulted in afresh, at every search: the
    // pages and hits of a frequent word at 400 M characters, 400 faults a search. Blocks up
    // to 32 MB (the most the library allows) come from the heap instead.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
}

}  // namespace kolva
