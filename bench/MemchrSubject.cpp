#include <cstring>

#include "bench/Subject.h"

namespace bench {

namespace {

// The floor: finding every '<' with memchr is less work than any parser does,
// so no parser can beat its throughput on the same bytes.
class MemchrSubject : public Subject {
  public:
    const char* name() const override { return "memchr floor"; }
    const char* package() const override { return ""; }
    Kind kind() const override { return SCAN; }

    bool parse(const std::string& bytes, std::string&) override {
        const char* at = bytes.data();
        const char* end = at + bytes.size();
        size_t found = 0;
        while ((at = static_cast<const char*>(std::memchr(at, '<', end - at))) != nullptr) {
            ++found;
            ++at;
        }
        mOpenings = found;
        return true;
    }

    size_t elementCount() const override { return 0; }

  private:
    // Kept so that the search is not optimised away.
    size_t mOpenings = 0;
};

}  // namespace

std::unique_ptr<Subject> makeMemchr() {
    return std::make_unique<MemchrSubject>();
}

}  // namespace bench
