// The singleton levels: a class T that derives from
// Singleton<T, Slot, Variant, Policy> has one process-wide instance, created
// on first use and destroyed on request. The levels split the work:
// Singleton_Base keeps the instance pointer, Singleton_Middle creates it,
// Singleton destroys it. T keeps its constructor and destructor private and
// befriends the two upper levels, so that nobody else makes or deletes one.
//
//   class Manager : public core::Singleton<Manager, 0, 0, core::Singleton_Singlethread_Policy>
//   {...}; Manager::getSingleton().doWork();     // created here on the first call
//   Manager::deleteSingleton();           // gone; the next getSingleton makes a fresh one
//
// Slot selects the storage: two singletons of one class with different slots
// are two instances. Variant distinguishes creation levels that share a slot
// and has no other effect. The policy supplies the guard taken around lazy
// creation and deletion; the single-thread policy takes no lock at all, so
// its users call from one thread.
#ifndef KAVRIXML_CORE_SINGLETON_H
#define KAVRIXML_CORE_SINGLETON_H

namespace core {

// Callers promise to use the singleton from one thread: the guard is empty.
struct Singleton_Singlethread_Policy {
    struct Guard {
        Guard() {}
    };
};

template <class T, int Slot, class Policy>
class Singleton_Base {
  public:
    static bool isSingletonCreated() { return mObject != nullptr; }

  protected:
    Singleton_Base() = default;
    Singleton_Base(const Singleton_Base&) = default;
    Singleton_Base& operator=(const Singleton_Base&) = default;
    ~Singleton_Base() = default;

    static void setObject(T* object) { mObject = object; }

    // The one instance, null while none exists.
    static inline T* mObject = nullptr;
};

template <class T, class Policy, int Slot, int Variant>
class Singleton_Middle : public Singleton_Base<T, Slot, Policy> {
  public:
    static T& getSingleton() { return *getSingletonPtr(); }

    static T* getSingletonPtr() {
        using Base = Singleton_Base<T, Slot, Policy>;
        if (Base::mObject == nullptr) {
            typename Policy::Guard guard;
            if (Base::mObject == nullptr) {
                Base::setObject(new T());
            }
        }
        return Base::mObject;
    }

  protected:
    Singleton_Middle() = default;
    Singleton_Middle(const Singleton_Middle&) = default;
    Singleton_Middle& operator=(const Singleton_Middle&) = default;
    ~Singleton_Middle() = default;
};

template <class T, int Slot, int Variant, class Policy>
class Singleton : public Singleton_Middle<T, Policy, Slot, Variant> {
  public:
    // Destroys the instance, if any; a later getSingleton creates a new one.
    static void deleteSingleton() {
        using Base = Singleton_Base<T, Slot, Policy>;
        typename Policy::Guard guard;
        T* object = Base::mObject;
        // Cleared first, so that the destructor of T never sees itself as
        // the live instance.
        Base::setObject(nullptr);
        deleteObject(object);
    }

  protected:
    Singleton() = default;
    Singleton(const Singleton&) = default;
    Singleton& operator=(const Singleton&) = default;
    ~Singleton() = default;

  private:
    static void deleteObject(T* object) { delete object; }
};

}  // namespace core

#endif  // KAVRIXML_CORE_SINGLETON_H
