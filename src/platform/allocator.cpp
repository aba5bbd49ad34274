#include "platform/allocator.h"

#include <cstdlib>  // defines __GLIBC__ with the C library's own headers

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kolva {

void KeepHeapForSearches() {
#ifdef __GLIBC__
    mallopt(M_TOP_PAD, 4 << 20);
#endif
}

}  // namespace kolva
