// The callback family: a Callback owns one CallbackInterface, the abstract
// callable, and invoking the Callback calls it. FunctorCallbackInterface wraps
// any functor by value: a function pointer, a lambda, or one of the mpl
// building blocks below (a member function bound to an object, bound trailing
// arguments, an ignored parameter, a fixed result).
//
//   core::Callback<int, int> twice([](int x) { return 2 * x; });
//   twice(4);                                    // 8
//   core::Callback<int, int> add(mpl::encapsulate(&counter, &Counter::add));
//
// Each interface instantiation has its own three run-time types, which equals
// uses to tell interfaces of the same functor type apart from others.
#ifndef KAVRIXML_CORE_CALLBACK_H
#define KAVRIXML_CORE_CALLBACK_H

#include <cstddef>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>

#include "framework/plinth/Type.h"

namespace core {

template <class R, class... A>
class CallbackInterface_Base {
  public:
    static const Type TYPE;

    virtual const Type& getType() const { return TYPE; }
    virtual ~CallbackInterface_Base() = default;
    virtual bool equals(const CallbackInterface_Base& other) const = 0;
    virtual CallbackInterface_Base* copy() const = 0;
    virtual R call(A... args) = 0;
};

template <class R, class... A>
const Type CallbackInterface_Base<R, A...>::TYPE(
    "CallbackInterface_Base<TRet coma VARIABLE_ARGS_DECL>");

template <class R, class... A>
class CallbackInterface : public CallbackInterface_Base<R, A...> {};

namespace detail {
// Functors compare with their == when they have one. Lambdas have none: a
// lambda whose captures are plain bytes without padding (pointers, integers)
// compares by those bytes, so a copied callback equals its original; a
// captureless one equals every other of its type; any other lambda equals
// only itself.
template <class F, class = void>
struct HasEqual : std::false_type {};
template <class F>
struct HasEqual<F, std::void_t<decltype(std::declval<const F&>() == std::declval<const F&>())>>
    : std::true_type {};

template <class F>
bool functorsEqual(const F& a, const F& b) {
    if constexpr (HasEqual<F>::value) {
        return static_cast<bool>(a == b);
    } else if constexpr (std::is_empty<F>::value) {
        return true;
    } else if constexpr (std::has_unique_object_representations<F>::value) {
        return std::memcmp(static_cast<const void*>(&a), static_cast<const void*>(&b), sizeof(F)) ==
               0;
    } else {
        return &a == &b;
    }
}
}  // namespace detail

template <class R, class F, class... A>
class FunctorCallbackInterface_Base : public CallbackInterface<R, A...> {
  public:
    static const Type TYPE;

    explicit FunctorCallbackInterface_Base(F functor) : mFunctor(std::move(functor)) {}
    const Type& getType() const override { return TYPE; }
    const F& getFunctor() const { return mFunctor; }

  protected:
    F mFunctor;
};

template <class R, class F, class... A>
const Type FunctorCallbackInterface_Base<R, F, A...>::TYPE(
    "FunctorCallbackInterface_Base <TRet coma F coma VARIABLE_ARGS_DECL >",
    CallbackInterface_Base<R, A...>::TYPE);

template <class R, class F, class... A>
class FunctorCallbackInterface : public FunctorCallbackInterface_Base<R, F, A...> {
  public:
    static const Type TYPE;

    explicit FunctorCallbackInterface(F functor)
        : FunctorCallbackInterface_Base<R, F, A...>(std::move(functor)) {}

    const Type& getType() const override { return TYPE; }

    bool equals(const CallbackInterface_Base<R, A...>& other) const override {
        if (!other.getType().instanceOf(getType())) {
            return false;
        }
        const auto& same = static_cast<const FunctorCallbackInterface&>(other);
        return detail::functorsEqual(this->mFunctor, same.mFunctor);
    }
    CallbackInterface_Base<R, A...>* copy() const override {
        return new FunctorCallbackInterface(this->mFunctor);
    }
    R call(A... args) override {
        if constexpr (std::is_void<R>::value) {
            this->mFunctor(std::forward<A>(args)...);
        } else {
            return this->mFunctor(std::forward<A>(args)...);
        }
    }
};

template <class R, class F, class... A>
const Type FunctorCallbackInterface<R, F, A...>::TYPE(
    "FunctorCallbackInterface <TRet coma F coma VARIABLE_ARGS_DECL>",
    FunctorCallbackInterface_Base<R, F, A...>::TYPE);

template <class R, class... A>
class Callback_Base {
  public:
    virtual ~Callback_Base() = default;
};

template <class R, class... A>
class Callback : public Callback_Base<R, A...> {
  public:
    using Interface = CallbackInterface_Base<R, A...>;

    Callback() : mInterface(nullptr) {}
    // Takes ownership of the interface.
    explicit Callback(Interface* callbackInterface) : mInterface(callbackInterface) {}
    // Wraps any functor that is not itself a Callback or an interface pointer.
    template <class F, class = std::enable_if_t<
                           !std::is_base_of<Callback_Base<R, A...>, std::decay_t<F>>::value &&
                           !std::is_convertible<F, Interface*>::value>>
    Callback(F functor)
        : mInterface(new FunctorCallbackInterface<R, std::decay_t<F>, A...>(std::move(functor))) {}
    Callback(const Callback& other)
        : mInterface(other.mInterface != nullptr ? other.mInterface->copy() : nullptr) {}
    Callback& operator=(const Callback& other) {
        if (this != &other) {
            Interface* fresh = other.mInterface != nullptr ? other.mInterface->copy() : nullptr;
            delete mInterface;
            mInterface = fresh;
        }
        return *this;
    }
    ~Callback() override { delete mInterface; }

    // A new Callback holding a copy of the interface; the caller owns it.
    virtual Callback* copy() const { return new Callback(*this); }

    R operator()(A... args) const { return mInterface->call(std::forward<A>(args)...); }
    R call(A... args) const { return mInterface->call(std::forward<A>(args)...); }

    Interface* getInterface() const { return mInterface; }
    bool isSet() const { return mInterface != nullptr; }
    bool equals(const Callback& other) const {
        if (mInterface == nullptr || other.mInterface == nullptr) {
            return mInterface == other.mInterface;
        }
        return mInterface->equals(*other.mInterface);
    }

  private:
    Interface* mInterface;
};

}  // namespace core

namespace mpl {

// Calls a member function on an object it points to (it owns neither).
template <class C, class R, class... A>
class MEncapsulate {
  public:
    using Method = R (C::*)(A...);

    MEncapsulate(C* object, Method method) : mObject(object), mMethod(method) {}
    R operator()(A... args) const { return (mObject->*mMethod)(std::forward<A>(args)...); }
    bool operator==(const MEncapsulate& other) const {
        return mObject == other.mObject && mMethod == other.mMethod;
    }
    C* getObject() const { return mObject; }
    // The same method bound to another object (what a copied owner needs).
    MEncapsulate rebind(C* object) const { return MEncapsulate(object, mMethod); }

  private:
    C* mObject;
    Method mMethod;
};

template <class C, class R, class... A>
MEncapsulate<C, R, A...> encapsulate(C* object, R (C::*method)(A...)) {
    return MEncapsulate<C, R, A...>(object, method);
}

// Binds trailing argument values: Linker(f, b)(a) calls f(a, b).
template <class F, class... Bound>
class Linker {
  public:
    explicit Linker(F functor, Bound... bound)
        : mFunctor(std::move(functor)), mBound(std::move(bound)...) {}
    template <class... A>
    decltype(auto) operator()(A&&... args) const {
        return std::apply(
            [&](const Bound&... bound) -> decltype(auto) {
                return mFunctor(std::forward<A>(args)..., bound...);
            },
            mBound);
    }
    bool operator==(const Linker& other) const {
        return detailEqual(mFunctor, other.mFunctor) && mBound == other.mBound;
    }

  private:
    template <class G>
    static bool detailEqual(const G& a, const G& b) {
        return core::detail::functorsEqual(a, b);
    }
    F mFunctor;
    std::tuple<Bound...> mBound;
};

// Adds a parameter of type P that the wrapped callable never sees, at
// position Index of the argument list (the first by default):
// ParamAdder<P, F>(f)(p, a, b) calls f(a, b); ParamAdder<P, F, 1>(f)(a, p, b)
// calls f(a, b).
template <class P, class F, std::size_t Index = 0>
class ParamAdder {
  public:
    explicit ParamAdder(F functor) : mFunctor(std::move(functor)) {}
    template <class... A>
    decltype(auto) operator()(A&&... args) const {
        static_assert(Index < sizeof...(A), "ParamAdder: no argument at Index");
        static_assert(std::is_convertible<std::tuple_element_t<Index, std::tuple<A...>>, P>::value,
                      "ParamAdder: the argument at Index is not a P");
        return callWithout(std::forward_as_tuple(std::forward<A>(args)...),
                           std::make_index_sequence<sizeof...(A) - 1>());
    }
    bool operator==(const ParamAdder& other) const {
        return core::detail::functorsEqual(mFunctor, other.mFunctor);
    }

  private:
    // Passes on argument I for I < Index and argument I + 1 after it.
    template <class Arguments, std::size_t... I>
    decltype(auto) callWithout(Arguments&& arguments, std::index_sequence<I...>) const {
        return mFunctor(std::get<(I < Index ? I : I + 1)>(std::move(arguments))...);
    }

    F mFunctor;
};

// Calls the wrapped callable and returns a stored value instead of its result.
template <class R, class F>
class ReturnAdaptor {
  public:
    ReturnAdaptor(F functor, R value) : mFunctor(std::move(functor)), mValue(value) {}
    template <class... A>
    R operator()(A&&... args) const {
        mFunctor(std::forward<A>(args)...);
        return mValue;
    }
    bool operator==(const ReturnAdaptor& other) const {
        return core::detail::functorsEqual(mFunctor, other.mFunctor) && mValue == other.mValue;
    }

  private:
    F mFunctor;
    R mValue;
};

}  // namespace mpl

#endif  // KAVRIXML_CORE_CALLBACK_H
