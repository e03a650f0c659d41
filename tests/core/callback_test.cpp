#include "core/Callback.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

int twice(int x) {
    return 2 * x;
}
int negate(int x) {
    return -x;
}

struct Counter {
    int total = 0;
    int add(int amount) { return total += amount; }
    int sub(int amount) { return total -= amount; }
};

using IntCallback = core::Callback<int, int>;

TEST(Callback, CallsAndCopiesItsFunctor) {
    IntCallback fromFunction(&twice);
    int offset = 5;
    IntCallback fromLambda([offset](int x) { return x + offset; });
    EXPECT_EQ(fromFunction(4), 8);
    EXPECT_EQ(fromLambda.call(4), 9);

    // A copy owns its own interface: destroying the original leaves it usable.
    IntCallback* copy = nullptr;
    {
        IntCallback original(fromLambda);
        copy = original.copy();
        EXPECT_NE(copy->getInterface(), original.getInterface());
    }
    EXPECT_EQ((*copy)(1), 6);
    delete copy;

    IntCallback assigned;
    EXPECT_FALSE(assigned.isSet());
    assigned = fromFunction;
    EXPECT_NE(assigned.getInterface(), fromFunction.getInterface());
    EXPECT_EQ(assigned(3), 6);
}

TEST(Callback, EqualsComparesFunctorTypeAndState) {
    IntCallback a(&twice);
    IntCallback sameFunction(&twice);
    IntCallback otherFunction(&negate);
    EXPECT_TRUE(a.equals(sameFunction));
    EXPECT_FALSE(a.equals(otherFunction));

    int one = 1;
    int two = 2;
    auto addOne = [one](int x) { return x + one; };
    IntCallback lambda(addOne);
    IntCallback* lambdaCopy = lambda.copy();
    EXPECT_TRUE(lambda.equals(*lambdaCopy));
    delete lambdaCopy;

    // Same closure type, other captured value: another functor state.
    auto makeAdder = [](int n) { return [n](int x) { return x + n; }; };
    EXPECT_FALSE(IntCallback(makeAdder(one)).equals(IntCallback(makeAdder(two))));
    EXPECT_TRUE(IntCallback(makeAdder(two)).equals(IntCallback(makeAdder(two))));

    // Another functor type never equals, whatever it computes.
    IntCallback doubling([](int x) { return 2 * x; });
    EXPECT_FALSE(a.equals(doubling));
    EXPECT_FALSE(doubling.equals(a));

    IntCallback unset;
    EXPECT_FALSE(a.equals(unset));
    EXPECT_TRUE(unset.equals(IntCallback()));
}

TEST(Callback, EachInstantiationHasItsOwnTypesWithTheFixedNames) {
    using FunctionPointer = int (*)(int);
    using Base = core::CallbackInterface_Base<int, int>;
    using FunctorBase = core::FunctorCallbackInterface_Base<int, FunctionPointer, int>;
    using Functor = core::FunctorCallbackInterface<int, FunctionPointer, int>;

    EXPECT_STREQ(Base::TYPE.getName(), "CallbackInterface_Base<TRet coma VARIABLE_ARGS_DECL>");
    EXPECT_STREQ(FunctorBase::TYPE.getName(),
                 "FunctorCallbackInterface_Base <TRet coma F coma VARIABLE_ARGS_DECL >");
    EXPECT_STREQ(Functor::TYPE.getName(),
                 "FunctorCallbackInterface <TRet coma F coma VARIABLE_ARGS_DECL>");
    EXPECT_EQ(Base::TYPE.getParent(), nullptr);
    EXPECT_EQ(FunctorBase::TYPE.getParent(), &Base::TYPE);
    EXPECT_EQ(Functor::TYPE.getParent(), &FunctorBase::TYPE);

    IntCallback callback(&twice);
    EXPECT_EQ(&callback.getInterface()->getType(), &Functor::TYPE);
    EXPECT_TRUE(callback.getInterface()->getType().instanceOf(Base::TYPE));

    using Other = core::FunctorCallbackInterface<int, std::function<int(int)>, int>;
    EXPECT_NE(&Other::TYPE, &Functor::TYPE);
    EXPECT_STREQ(Other::TYPE.getName(), Functor::TYPE.getName());
    using VoidBase = core::CallbackInterface_Base<void, int>;
    EXPECT_NE(&VoidBase::TYPE, &Base::TYPE);
}

TEST(FunctorAdaptors, MEncapsulateCallsTheMemberOnItsObject) {
    Counter counter;
    Counter other;
    auto add = mpl::encapsulate(&counter, &Counter::add);
    IntCallback callback(add);
    EXPECT_EQ(callback(3), 3);
    EXPECT_EQ(callback(4), 7);
    EXPECT_EQ(counter.total, 7);
    EXPECT_EQ(other.total, 0);

    EXPECT_TRUE(add == mpl::encapsulate(&counter, &Counter::add));
    EXPECT_FALSE(add == mpl::encapsulate(&counter, &Counter::sub));
    EXPECT_FALSE(add == mpl::encapsulate(&other, &Counter::add));
    EXPECT_TRUE(add.rebind(&other) == mpl::encapsulate(&other, &Counter::add));
    EXPECT_TRUE(callback.equals(IntCallback(mpl::encapsulate(&counter, &Counter::add))));
}

TEST(FunctorAdaptors, LinkerBindsTrailingArguments) {
    auto join = [](const std::string& a, const std::string& b, const std::string& c) {
        return a + b + c;
    };
    mpl::Linker<decltype(join), std::string, std::string> link(join, "2", "3");
    EXPECT_EQ(link(std::string("1")), "123");  // bound values come last, in order

    Counter counter;
    mpl::Linker<decltype(std::mem_fn(&Counter::add)), int> addFive(std::mem_fn(&Counter::add), 5);
    addFive(&counter);
    addFive(&counter);
    EXPECT_EQ(counter.total, 10);

    using BoundTwice = mpl::Linker<int (*)(int), int>;
    BoundTwice a(&twice, 1);
    EXPECT_TRUE(a == BoundTwice(&twice, 1));
    EXPECT_FALSE(a == BoundTwice(&twice, 2));
    EXPECT_FALSE(a == BoundTwice(&negate, 1));
    EXPECT_EQ(a(), 2);
}

TEST(FunctorAdaptors, ParamAdderDropsTheParameterAtItsIndex) {
    std::vector<std::string> seen;
    auto record = [&seen](const std::string& a, const std::string& b) {
        seen.push_back(a + b);
        return static_cast<int>(seen.size());
    };
    using Record = decltype(record);
    mpl::ParamAdder<int, Record> first(record);
    mpl::ParamAdder<int, Record, 1> middle(record);
    mpl::ParamAdder<int, Record, 2> last(record);
    EXPECT_EQ(first(0, "a", "b"), 1);
    EXPECT_EQ(middle("c", 0, "d"), 2);
    EXPECT_EQ(last("e", "f", 0), 3);
    EXPECT_EQ(seen, (std::vector<std::string>{"ab", "cd", "ef"}));

    // Nested adders drop one parameter each.
    mpl::ParamAdder<int, mpl::ParamAdder<int, Record, 1>, 1> both{middle};
    EXPECT_EQ(both("g", 1, 2, "h"), 4);
    EXPECT_EQ(seen.back(), "gh");
}

TEST(FunctorAdaptors, ReturnAdaptorStacksIntoAWalkCallback) {
    // The shape of a walk callback that ignores its depths and answers a
    // fixed result: (item, depth, maxDepth) -> int.
    std::vector<std::string> visited;
    auto collect = [](std::vector<std::string>* into, const char* item) { into->push_back(item); };
    auto visit = std::bind(collect, &visited, std::placeholders::_1);
    using Bind = mpl::Linker<decltype(visit)>;
    using DropLast = mpl::ParamAdder<int, Bind, 1>;
    using DropDepth = mpl::ParamAdder<int, DropLast, 1>;
    core::Callback<int, const char*, int, int> callback(
        mpl::ReturnAdaptor<int, DropDepth>(DropDepth(DropLast(Bind(visit))), 7));

    EXPECT_EQ(callback("x", 1, 2), 7);
    EXPECT_EQ(callback("y", 3, 4), 7);
    EXPECT_EQ(visited, (std::vector<std::string>{"x", "y"}));

    mpl::ReturnAdaptor<int, int (*)(int)> fixed(&negate, 9);
    EXPECT_EQ(fixed(5), 9);
    EXPECT_TRUE(fixed == (mpl::ReturnAdaptor<int, int (*)(int)>(&negate, 9)));
    EXPECT_FALSE(fixed == (mpl::ReturnAdaptor<int, int (*)(int)>(&negate, 8)));
}

}  // namespace
