// CriticalSection is a lock over a real mutex. Take it with a Guard so that
// every exit path, exceptions included, leaves it:
//
//   core::CriticalSection::Guard guard(mLock);
//
// A copy is a new, unlocked lock: locks are never shared by copying.
#ifndef KAVRIXML_FRAMEWORK_PLINTH_CRITICALSECTION_H
#define KAVRIXML_FRAMEWORK_PLINTH_CRITICALSECTION_H

#include <mutex>

namespace core {

class CriticalSection {
  public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) {}
    CriticalSection& operator=(const CriticalSection&) { return *this; }
    virtual ~CriticalSection() = default;

    void enter() { mMutex.lock(); }
    void leave() { mMutex.unlock(); }

    class Guard {
      public:
        explicit Guard(CriticalSection& section) : mSection(section) { mSection.enter(); }
        ~Guard() { mSection.leave(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

      private:
        CriticalSection& mSection;
    };

  private:
    std::mutex mMutex;
};

}  // namespace core

#endif  // KAVRIXML_FRAMEWORK_PLINTH_CRITICALSECTION_H
