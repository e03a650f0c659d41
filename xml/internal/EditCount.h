// EditCount counts the changes made to trees in the process that writing a
// document read losslessly must see: attribute values and names, attributes
// added or removed, content edited in order, a new root. A lossless document
// remembers the count when its reading ends; while the count is unchanged,
// nothing in it can have changed, and writing it is copying its input. Any
// later change, in any document, sends every lossless write through the
// comparison of each part with its input (LosslessWriter), which is correct
// whatever changed. Internal to the library: installed because Attribute's
// inline setters count.
//
//   internal::EditCount::note();               // a tree changed
//   bool same = internal::EditCount::now() == remembered;
#ifndef KAVRIXML_XML_INTERNAL_EDITCOUNT_H
#define KAVRIXML_XML_INTERNAL_EDITCOUNT_H

#include <atomic>
#include <cstdint>

namespace kavri {
namespace xml {
namespace internal {

class EditCount {
  public:
    static void note() { sCount.fetch_add(1, std::memory_order_relaxed); }
    static uint64_t now() { return sCount.load(std::memory_order_relaxed); }

  private:
    static inline std::atomic<uint64_t> sCount{0};
};

}  // namespace internal
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_INTERNAL_EDITCOUNT_H
