// Parameter lists: what they accept, what they refuse, and who disposes of what.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/plinth/BoolParameter.h"
#include "framework/plinth/ComplexParameter.h"
#include "framework/plinth/IntParameter.h"
#include "framework/plinth/ListParameter.h"
#include "framework/plinth/SimpleParameterList.h"
#include "framework/plinth/StringParameter.h"
#include "framework/plinth/UniqueParameterList.h"

namespace {

using parameter::BaseParameter;
using parameter::ComplexParameter;
using parameter::IntParameter;
using parameter::ListParameter;
using parameter::SimpleParameterList;
using parameter::StringParameter;
using parameter::UniqueParameterList;

// Names of the parameters disposed of, in order; each is deleted after being
// noted, so ASan still sees every object go.
std::vector<std::string>& disposed() {
    static std::vector<std::string> names;
    return names;
}

void noteAndDelete(core::IRefCount* object) {
    auto* p = dynamic_cast<BaseParameter*>(object);
    disposed().push_back(p->getName());
    delete object;
}

template <class P, class... Args>
P* watched(Args&&... args) {
    P* p = new P(std::forward<Args>(args)...);
    p->setReleaseCallback(&noteAndDelete);
    return p;
}

class ParameterListTest : public ::testing::Test {
  protected:
    void SetUp() override { disposed().clear(); }
};

TEST_F(ParameterListTest, UniqueListRefusesSecondNameAndDisposesOfItWhenUnheld) {
    UniqueParameterList list;
    IntParameter* first = watched<IntParameter>("width", 800);
    EXPECT_TRUE(list.addParameter(first));
    EXPECT_FALSE(list.addParameter(watched<IntParameter>("width", 640)));
    EXPECT_EQ(disposed(), std::vector<std::string>{"width"});

    // A refused parameter that someone holds stays alive and keeps its count.
    core::SmartPtr<BaseParameter> held(watched<StringParameter>("width", "x"));
    EXPECT_FALSE(list.addParameter(held));
    EXPECT_EQ(held->getRefCount(), 1);
    EXPECT_EQ(disposed().size(), 1u);

    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(list.getParameter("width"), first);
    EXPECT_EQ(static_cast<IntParameter*>(list.getParameter("width"))->getValue(), 800);

    // The name decides, not the class or the case of the name.
    EXPECT_TRUE(list.addParameter(watched<IntParameter>("Width", 1)));
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(ParameterListTest, NullAndSelfAreRefusedWithoutHarm) {
    UniqueParameterList unique;
    SimpleParameterList simple;
    EXPECT_FALSE(unique.addParameter(nullptr));
    EXPECT_FALSE(simple.addParameter(nullptr));
    EXPECT_EQ(unique.size(), 0u);
    EXPECT_EQ(simple.size(), 0u);

    // A composite that held itself would never be released: refused, and not
    // disposed of even though nobody else holds it yet.
    core::SmartPtr<ComplexParameter> complex(watched<ComplexParameter>("window"));
    core::SmartPtr<ListParameter> list(watched<ListParameter>("recent"));
    EXPECT_FALSE(complex->addParameter(complex.get()));
    EXPECT_FALSE(list->addParameter(list.get()));
    EXPECT_EQ(complex->size(), 0u);
    EXPECT_EQ(list->size(), 0u);
    EXPECT_TRUE(disposed().empty());

    // Composites nest in each other as members like any other parameter.
    EXPECT_TRUE(list->addParameter(complex.get()));
    EXPECT_EQ(complex->getRefCount(), 2);
}

TEST_F(ParameterListTest, ListsHoldCountedReferencesAndReleaseThemWhenDestroyed) {
    IntParameter* shared = watched<IntParameter>("retries", 3);
    {
        SimpleParameterList a;
        {
            UniqueParameterList b;
            EXPECT_TRUE(a.addParameter(shared));
            EXPECT_TRUE(b.addParameter(shared));
            EXPECT_EQ(shared->getRefCount(), 2);
        }
        EXPECT_EQ(shared->getRefCount(), 1);
        EXPECT_TRUE(disposed().empty());
    }
    EXPECT_EQ(disposed(), std::vector<std::string>{"retries"});

    // Releasing a composite releases its members, nested ones included.
    disposed().clear();
    {
        core::SmartPtr<ComplexParameter> network(watched<ComplexParameter>("network"));
        ComplexParameter* proxy = watched<ComplexParameter>("proxy");
        network->addParameter(proxy);
        proxy->addParameter(watched<StringParameter>("host", "proxy.local"));
        network->addParameter(watched<parameter::BoolParameter>("offline", false));
    }
    EXPECT_EQ(disposed(), (std::vector<std::string>{"network", "proxy", "host", "offline"}));
}

TEST_F(ParameterListTest, SimpleListKeepsRepeatedNamesInOrderAndLooksUpTheFirst) {
    SimpleParameterList list;
    EXPECT_TRUE(list.addParameter(watched<StringParameter>("file", "a.txt")));
    EXPECT_TRUE(list.addParameter(watched<StringParameter>("", "b.txt")));
    EXPECT_TRUE(list.addParameter(watched<StringParameter>("file", "c.txt")));
    ASSERT_EQ(list.size(), 3u);

    auto text = [](BaseParameter* p) { return static_cast<StringParameter*>(p)->getValue(); };
    EXPECT_EQ(text(list.getParameter(0u)), "a.txt");
    EXPECT_EQ(text(list.getParameter(1u)), "b.txt");
    EXPECT_EQ(text(list.getParameter(2u)), "c.txt");
    EXPECT_EQ(list.getParameter(3u), nullptr);
    EXPECT_EQ(text(list.getParameter("file")), "a.txt");
    EXPECT_EQ(text(list.getParameter("")), "b.txt");
    EXPECT_EQ(list.getParameter("missing"), nullptr);
}

}  // namespace
