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

TEST(Callback, CopiesOwnTheirInterface) {
    int offset = 5;
    IntCallback* copy = nullptr;
    {
        IntCallback original([offset](int x) { return x + offset; });
        copy = original.copy();
        EXPECT_NE(copy->getInterface(), original.getInterface());
    }
    EXPECT_EQ((*copy)(1), 6);
    IntCallback assigned;
    assigned = *copy;
    delete copy;
    EXPECT_EQ(assigned.call(2), 7);
}

TEST(Callback, EqualsComparesFunctorTypeAndState) {
    IntCallback a(&twice);
    EXPECT_TRUE(a.equals(IntCallback(&twice)));
    EXPECT_FALSE(a.equals(IntCallback(&negate)));

    // Same closure type: equal when the captured values are.
    auto makeAdder = [](int n) { return [n](int x) { return x + n; }; };
    IntCallback addTwo(makeAdder(2));
    IntCallback* copy = addTwo.copy();
    EXPECT_TRUE(addTwo.equals(*copy));
    EXPECT_FALSE(addTwo.equals(IntCallback(makeAdder(1))));
    delete copy;

    // Another functor type never equals, whatever it computes.
    IntCallback doubling([](int x) { return 2 * x; });
    EXPECT_FALSE(a.equals(doubling));
    EXPECT_FALSE(doubling.equals(a));
    EXPECT_FALSE(a.equals(IntCallback()));
}

TEST(Callback, EachInstantiationHasItsOwnTypesWithTheFixedNames) {
    using FunctionPointer = int (*)(int);
    using Base = core::CallbackInterface_Base<int, int>;
    using FunctorBase = core::FunctorCallbackInterface_Base<int, FunctionPointer, int>;
    using Functor = core::FunctorCallbackInterface<int, FunctionPointer, int>;
    using Other = core::FunctorCallbackInterface<int, std::function<int(int)>, int>;

    EXPECT_STREQ(Base::TYPE.getName(), "CallbackInterface_Base<TRet coma VARIABLE_ARGS_DECL>");
    EXPECT_STREQ(FunctorBase::TYPE.getName(),
                 "FunctorCallbackInterface_Base <TRet coma F coma VARIABLE_ARGS_DECL >");
    EXPECT_STREQ(Functor::TYPE.getName(),
                 "FunctorCallbackInterface <TRet coma F coma VARIABLE_ARGS_DECL>");
    EXPECT_EQ(Base::TYPE.getParent(), nullptr);
    EXPECT_EQ(FunctorBase::TYPE.getParent(), &Base::TYPE);
    EXPECT_EQ(Functor::TYPE.getParent(), &FunctorBase::TYPE);
    EXPECT_EQ(&IntCallback(&twice).getInterface()->getType(), &Functor::TYPE);
    EXPECT_NE(&Other::TYPE, &Functor::TYPE);
    EXPECT_STREQ(Other::TYPE.getName(), Functor::TYPE.getName());
}

TEST(FunctorAdaptors, MEncapsulateCallsTheMemberOnItsObject) {
    Counter counter;
    Counter other;
    auto add = mpl::encapsulate(&counter, &Counter::add);
    IntCallback callback(add);
    callback(3);
    EXPECT_EQ(callback(4), 7);
    EXPECT_EQ(other.total, 0);
    EXPECT_FALSE(add == mpl::encapsulate(&counter, &Counter::sub));
    EXPECT_FALSE(add == mpl::encapsulate(&other, &Counter::add));
    EXPECT_TRUE(callback.equals(IntCallback(mpl::encapsulate(&counter, &Counter::add))));
}

TEST(FunctorAdaptors, LinkerAndParamAdderShapeTheArguments) {
    auto join = [](const std::string& a, const std::string& b, const std::string& c) {
        return a + b + c;
    };
    using Join = decltype(join);
    mpl::Linker<Join, std::string, std::string> link(join, "2", "3");
    EXPECT_EQ(link(std::string("1")), "123");  // bound values come last, in order
    using BoundTwice = mpl::Linker<int (*)(int), int>;
    EXPECT_FALSE(BoundTwice(&twice, 1) == BoundTwice(&twice, 2));

    mpl::ParamAdder<int, Join> first(join);
    mpl::ParamAdder<int, Join, 1> middle(join);
    mpl::ParamAdder<int, Join, 3> last(join);
    EXPECT_EQ(first(0, "a", "b", "c"), "abc");
    EXPECT_EQ(middle("a", 0, "b", "c"), "abc");
    EXPECT_EQ(last("a", "b", "c", 0), "abc");
    mpl::ParamAdder<int, mpl::ParamAdder<int, Join, 1>, 1> both{middle};
    EXPECT_EQ(both("a", 1, 2, "b", "c"), "abc");
}

TEST(FunctorAdaptors, ReturnAdaptorStacksIntoAWalkCallback) {
    // A walk callback that ignores both depths and answers a fixed result.
    std::vector<std::string> visited;
    auto collect = [&visited](const char* item) { visited.push_back(item); };
    using Bind = mpl::Linker<decltype(collect)>;
    using DropLast = mpl::ParamAdder<int, Bind, 1>;
    using DropDepth = mpl::ParamAdder<int, DropLast, 1>;
    core::Callback<int, const char*, int, int> callback(
        mpl::ReturnAdaptor<int, DropDepth>(DropDepth(DropLast(Bind(collect))), 7));
    EXPECT_EQ(callback("x", 1, 2), 7);
    EXPECT_EQ(callback("y", 3, 4), 7);
    EXPECT_EQ(visited, (std::vector<std::string>{"x", "y"}));
}

}  // namespace
