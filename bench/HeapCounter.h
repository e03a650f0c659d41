// HeapCounter counts the live heap bytes of the benchmark programs. Linking
// HeapCounter.cpp into a program replaces malloc and its family there (and so
// operator new, which calls malloc); the replacements forward to glibc and,
// while counting is on, add and subtract each block's usable size. The
// library itself is never built with it.
//
//   heap::setCounting(true);
//   long long before = heap::liveBytes();
//   ... build a tree ...
//   long long treeBytes = heap::liveBytes() - before;
//
// Counting costs a size query per call, so it is switched on only around a
// memory measurement and the timed runs pay nothing for it. A block allocated
// while counting is off and freed while it is on makes the count too low;
// measurements check for that by comparing the count after the tree is freed
// with the count before it was built.
#ifndef KAVRIXML_BENCH_HEAPCOUNTER_H
#define KAVRIXML_BENCH_HEAPCOUNTER_H

namespace heap {

void setCounting(bool on);
long long liveBytes();

// Live bytes of the heap taken by what `build` leaves behind, and the bytes
// still counted after `destroy` (0 when every block was paired).
struct Footprint {
    long long bytes = 0;
    long long residual = 0;
};

// `pooledFree` tells how many bytes the library holds free in pools of its
// own: memory a pool took from the heap earlier but has not handed out is
// not part of the tree, and blocks handed back to the pool are freed.
template <class Build, class Destroy, class PooledFree>
Footprint measure(Build build, Destroy destroy, PooledFree pooledFree) {
    setCounting(true);
    const long long before = liveBytes();
    const long long freeBefore = pooledFree();
    build();
    Footprint footprint;
    footprint.bytes = liveBytes() - before - (pooledFree() - freeBefore);
    destroy();
    footprint.residual = liveBytes() - before - (pooledFree() - freeBefore);
    setCounting(false);
    return footprint;
}

template <class Build, class Destroy>
Footprint measure(Build build, Destroy destroy) {
    return measure(build, destroy, [] { return 0LL; });
}

}  // namespace heap

#endif  // KAVRIXML_BENCH_HEAPCOUNTER_H
