// The edges that the allocation-failure sweep found, each failed in every
// allocation on objects that already hold data, then checked for what a
// failure broke before: a JSON tree whose destruction allocates (the process
// ended), a parameter list whose name index pointed past its end, a bundle
// that listed a text it could not find, and files and texts that leaked.
#include <gtest/gtest.h>

#include <string>

#include "core/SmartPtr.h"
#include "failing_allocator.h"
#include "framework/kavrimain/FileList.h"
#include "framework/kavrimain/JSObject.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "framework/kavrimain/SystemInfo.h"
#include "framework/plinth/IntParameter.h"
#include "framework/plinth/SimpleParameterList.h"
#include "framework/plinth/UniqueParameterList.h"
#include "i18n/Bundle.h"
#include "reliability_support.h"

namespace {

using failing::Mode;
using kavri::i18n::Bundle;
using kavri::json::JSObject;

// Runs `operation` with its Nth allocation failing (once or from then on),
// for N = 1, 2, ... until it completes without reaching N; `check` runs
// disarmed after each try. Returns the number of failure points.
template <class Operation, class Check>
unsigned long failEachAllocation(Mode mode, Operation operation, Check check) {
    for (unsigned long n = 1;; ++n) {
        bool reached = false;
        {
            failing::Armed armed(n, mode);
            try {
                operation();
            } catch (const std::bad_alloc&) {
            }
            reached = armed.finish() >= n;
        }
        check(n);
        if (!reached || ::testing::Test::HasFailure()) {
            return n - 1;
        }
    }
}

const char* const NESTED_JSON =
    "{\"a\": {\"b\": [1, 2, {\"c\": [[], {}, \"d\"]}], \"e\": \"f\"}, \"g\": [[[\"h\"]]], "
    "\"i\": {\"x\": [1, {}]}, \"i\": \"j\"}";  // a key given twice keeps the last value

// Destroying a tree once ran the JSON library's destructor, which allocates a
// work list: failing, it ended the process from inside a destructor.
TEST(JSObjectWhenMemoryRunsOut, TreesAreDestroyedWithoutAllocating) {
    for (bool withWrappers : {false, true}) {
        ::core::SmartPtr<JSObject> tree(JSObject::parse(std::string(NESTED_JSON)));
        if (withWrappers) {
            ASSERT_NE(tree->get("a"), nullptr);
            ASSERT_NE(tree->get("a")->get("b"), nullptr);
        }
        const long live = failing::liveBlocks();
        {
            failing::Armed armed(1, Mode::FROM_THEN_ON);
            tree = nullptr;
            EXPECT_EQ(armed.finish(), 0u) << "destruction allocated";
        }
        EXPECT_LT(failing::liveBlocks(), live);
    }
}

TEST(JSObjectWhenMemoryRunsOut, ParseAndSetFailCleanlyAndLeaveTheObjectWhole) {
    for (Mode mode : {Mode::ONCE, Mode::FROM_THEN_ON}) {
        const long live = failing::liveBlocks();
        failEachAllocation(
            mode,
            [] { ::core::SmartPtr<JSObject> tree(JSObject::parse(std::string(NESTED_JSON))); },
            [&](unsigned long n) { EXPECT_EQ(failing::liveBlocks(), live) << n; });

        // Members replaced (a container among them, with and without a
        // wrapper handed out) and appended past the vector's capacity.
        ::core::SmartPtr<JSObject> tree(JSObject::parse(std::string(NESTED_JSON)));
        const JSObject* held = tree->get("g");
        int round = 0;
        failEachAllocation(
            mode,
            [&] {
                ++round;
                tree->set("a", "replaced a");
                tree->set("g", "replaced g");
                for (int i = 0; i < 9; ++i) {
                    tree->set(("k" + std::to_string(i)).c_str(), "v");
                }
            },
            [&](unsigned long n) {
                // Each member is either old or new, found by key and by walk.
                std::string walked;
                for (auto it = tree->begin(); it.isValid(); ++it) {
                    const char* text = it.getValue()->asString("(container)");
                    walked += std::string(it.getKey()) + "=" + text + ";";
                    EXPECT_EQ(tree->get(it.getKey()), it.getValue()) << n;
                }
                EXPECT_EQ(walked.find("a="), 0u) << walked;
                EXPECT_EQ(held->getValueType(), JSObject::ARRAY) << n;
                EXPECT_EQ(held->toJSON(), "[[[\"h\"]]]") << n;
            });
        EXPECT_EQ(
            tree->toJSON(),
            "{\"a\":\"replaced a\",\"g\":\"replaced g\",\"i\":\"j\",\"k0\":\"v\",\"k1\":\"v\","
            "\"k2\":\"v\",\"k3\":\"v\",\"k4\":\"v\",\"k5\":\"v\",\"k6\":\"v\",\"k7\":\"v\","
            "\"k8\":\"v\"}");
        EXPECT_GT(round, 1);
    }
}

// --- Parameter lists ---------------------------------------------------------------------

// A failure between the list and its name index left the index pointing past
// the end, and the parameter leaked.
TEST(ParameterListWhenMemoryRunsOut,
     AFailedAddLeavesListAndIndexAgreeingAndDisposesOfTheParameter) {
    for (Mode mode : {Mode::ONCE, Mode::FROM_THEN_ON}) {
        parameter::UniqueParameterList unique;
        parameter::SimpleParameterList simple;
        parameter::ParameterList* const lists[] = {&unique, &simple};
        for (parameter::ParameterList* list : lists) {
            // Two parameters fill the vector's capacity: the third reallocates.
            list->addParameter(new parameter::IntParameter("a", 1));
            list->addParameter(new parameter::IntParameter("b", 2));
            const long live = failing::liveBlocks();
            auto render = [](const parameter::BaseParameter* p, std::string& out) {
                out += p->getName() + ";";
            };
            failEachAllocation(
                mode,
                [&] {
                    parameter::BaseParameter* added = new parameter::IntParameter("c", 3);
                    (void)list->addParameter(added);
                },
                [&](unsigned long n) {
                    const std::string state = reliability::listState(*list, render);
                    if (list->size() == 3) {
                        EXPECT_EQ(state, "{a;b;c;}") << n;
                    } else {
                        EXPECT_EQ(state, "{a;b;}") << n;
                        EXPECT_EQ(list->getParameter("c"), nullptr) << n;
                        EXPECT_EQ(failing::liveBlocks(), live) << "leak after " << n;
                    }
                });
            EXPECT_EQ(list->size(), 3u);
        }
    }
}

// --- Bundles ------------------------------------------------------------------------------

// A failure after the text's copy leaked it; one between the text map and
// its index left a key that getTexts() listed but the look-ups missed.
TEST(BundleWhenMemoryRunsOut, AFailedSetTextKeepsEveryListedTextFindableAndLeaksNothing) {
    kavri::platform::SystemInfo::setLanguageCode("en");
    for (Mode mode : {Mode::ONCE, Mode::FROM_THEN_ON}) {
        ::core::SmartPtr<Bundle> bundle(new Bundle("texts", "texts.xml"));
        bundle->setText("old", "text");
        int round = 0;
        std::string before;
        long live = 0;
        failEachAllocation(
            mode,
            [&] {
                ++round;
                bundle->setText("old", "replaced");
                bundle->setText(("new" + std::to_string(round)).c_str(), "added");
            },
            [&](unsigned long n) {
                const std::string texts = reliability::textsOf(*bundle);
                EXPECT_EQ(texts.find('!'), std::string::npos) << n << ": " << texts;
                // A key that is not in the bundle left nothing behind.
                if (texts == before) {
                    EXPECT_EQ(failing::liveBlocks(), live) << "leak after " << n;
                }
                before = texts;
                live = failing::liveBlocks();
            });
        EXPECT_STREQ((*bundle)["old"], "replaced");
    }
    kavri::platform::SystemInfo::setLanguageCode(nullptr);
}

TEST(BundleWhenMemoryRunsOut, AFailedAddChildLeavesTheChildWithOneParentOrNone) {
    kavri::platform::SystemInfo::setLanguageCode("en");
    ::core::SmartPtr<Bundle> first(new Bundle("first", "first.xml"));
    ::core::SmartPtr<Bundle> second(new Bundle("second", "second.xml"));
    ::core::SmartPtr<Bundle> child(new Bundle("child", "child.xml"));
    first->addChild(child.get());
    for (Mode mode : {Mode::ONCE, Mode::FROM_THEN_ON}) {
        failEachAllocation(
            mode, [&] { second->addChild(child.get()); },
            [&](unsigned long n) {
                Bundle* parent = child->getParent();
                ASSERT_TRUE(parent == first.get() || parent == second.get()) << n;
                Bundle* other = parent == first.get() ? second.get() : first.get();
                EXPECT_EQ(parent->getChildCount(), 1u) << n;
                EXPECT_EQ(parent->getChild("child", false), child.get()) << n;
                EXPECT_EQ(other->getChildCount(), 0u) << n;
                EXPECT_EQ(other->getChild("child", false), nullptr) << n;
                if (parent == second.get()) {
                    first->addChild(child.get());  // back for the next try
                }
            });
    }
    kavri::platform::SystemInfo::setLanguageCode(nullptr);
}

// --- File lists -----------------------------------------------------------------------------

// A failed push into the list leaked the file that listFiles had made.
TEST(FileListWhenMemoryRunsOut, AFailedListingLeaksNoFile) {
    kavri::vfs::MemoryFileSystem files;
    for (const char* name :
         {"i18n/a.xml", "i18n/b.xml", "i18n/c.xml", "i18n/d.xml", "i18n/e.xml"}) {
        files.addFile(name, "<LANGUAGE/>");
    }
    for (Mode mode : {Mode::ONCE, Mode::FROM_THEN_ON}) {
        const long live = failing::liveBlocks();
        const unsigned long points = failEachAllocation(
            mode,
            [&] {
                kavri::vfs::FileList list(true);
                files.listFiles("i18n", "*.xml", list);
            },
            [&](unsigned long n) { EXPECT_EQ(failing::liveBlocks(), live) << "leak after " << n; });
        EXPECT_GT(points, 5u);
    }
}

}  // namespace
