// HugePages asks the system to back a large block of memory with
// transparent huge pages (2 MiB on x86-64) when it is first touched, so that
// a fresh process that fills tens of megabytes (a document read whole, a
// tree, a document written) takes one page fault per huge page instead of
// one per 4 KiB page. A hint only: where the system offers no huge pages
// on request, or for blocks smaller than a huge page, nothing changes.
//
// It owns nothing and holds no state: any thread may call it.
//
//   std::string bytes;
//   bytes.reserve(size);
//   core::internal::HugePages::ask(&bytes[0], bytes.capacity());
#ifndef KAVRIXML_FRAMEWORK_PLINTH_INTERNAL_HUGEPAGES_H
#define KAVRIXML_FRAMEWORK_PLINTH_INTERNAL_HUGEPAGES_H

#include <cstddef>

namespace core {
namespace internal {

class HugePages {
  public:
    // The whole pages inside [memory, memory + size) are asked for; the
    // memory may be touched already or not.
    static void ask(void* memory, size_t size) noexcept;
};

}  // namespace internal
}  // namespace core

#endif  // KAVRIXML_FRAMEWORK_PLINTH_INTERNAL_HUGEPAGES_H
