// The allocator of the allocation-failure tests. This test program replaces
// every form of operator new and delete (plain, array, sized, nothrow and
// aligned, which the block pool's chunks come from), so that every
// allocation of the library, of the standard library and of the JSON library
// passes through a count-down that can make the Nth one fail: only the Nth
// (ONCE) or the Nth and every later one (FROM_THEN_ON). Between arm() and
// disarm() the throwing forms then throw std::bad_alloc and the nothrow forms
// answer null.
//
//   failing::arm(3, failing::Mode::ONCE);
//   try { operation(); } catch (const std::bad_alloc&) {}
//   bool hit = failing::disarm() >= 3;   // whether the operation got that far
//
// It also counts the blocks alive, so that a test of the normal build sees a
// leak without the sanitizers. One thread at a time.
#ifndef KAVRIXML_TESTS_RELIABILITY_FAILING_ALLOCATOR_H
#define KAVRIXML_TESTS_RELIABILITY_FAILING_ALLOCATOR_H

namespace failing {

enum class Mode { ONCE, FROM_THEN_ON };

// Counts allocations from here on and fails the `n`th (n >= 1).
void arm(unsigned long n, Mode mode);
// Stops counting and failing; returns the number of allocations asked for
// since arm(), the failed ones included.
unsigned long disarm();
// Blocks allocated and not yet released, over the whole run.
long liveBlocks();

// Arms for its lifetime, so that no assertion of a test runs armed.
class Armed {
  public:
    Armed(unsigned long n, Mode mode) { arm(n, mode); }
    ~Armed() { finish(); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
    // Disarms (once); the allocations counted.
    unsigned long finish() {
        if (mArmed) {
            mArmed = false;
            mCount = disarm();
        }
        return mCount;
    }

  private:
    bool mArmed = true;
    unsigned long mCount = 0;
};

}  // namespace failing

#endif  // KAVRIXML_TESTS_RELIABILITY_FAILING_ALLOCATOR_H
