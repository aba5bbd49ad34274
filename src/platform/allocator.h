// How the C library's allocator keeps memory, for the programs that search.
#pragma once

namespace kolva {

// The heap grows 4 MB beyond what it needs at a time and keeps as much when memory at its top is
// let go, instead of giving back all it can at once. A search takes and lets go vectors of a
// frequent word's pages and hits; given back and taken again, each 4 KB of them costs a page
// fault at every search (about 12 µs each on a virtual machine: a varied list of searches on
// the real collection took twice as long, 6,800 faults against 2,800). Blocks up to 32 MB come
// from the heap, not from mappings of their own (a frequent word at 400 M characters: 17 ms a
// search against 12.7 ms). Does nothing with other C libraries.
void KeepHeapForSearches();

}  // namespace kolva
