// Every allocation of an operation fails in turn: for N = 1, 2, 3, ... the
// Nth allocation fails, once or from then on, until the operation completes
// without reaching N. Each failure must end in std::bad_alloc (or in the
// operation's normal result, when the library can do without the memory),
// and the same objects must then work normally: the operation is run again
// and everything it made or changed must equal a clean run, byte for byte.
// Nothing may leak (the allocator counts the live blocks; the sanitizer
// build checks too) and nothing may end the process (a destructor or a clean-up
// path that throws would).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "failing_allocator.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/kavrimain/SystemInfo.h"
#include "framework/plinth/BoolParameter.h"
#include "framework/plinth/FloatParameter.h"
#include "framework/plinth/IntParameter.h"
#include "framework/plinth/Logger.h"
#include "framework/plinth/ParameterList.h"
#include "framework/plinth/StringParameter.h"
#include "framework/plinth/UniqueParameterList.h"
#include "i18n/Bundle.h"
#include "i18n/I18N.h"
#include "reliability_support.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/ParameterParser.h"
#include "xml/XMLWriter.h"
#include "xml/XNode.h"

namespace {

using failing::Mode;
using kavri::i18n::Bundle;
using kavri::i18n::I18N;
using kavri::stream::MemoryInputStream;
using kavri::stream::MemoryOutputStream;
using kavri::xml::Document;
using kavri::xml::DOMParser;
using kavri::xml::XMLWriter;
using kavri::xml::XNode;
using reliability::compact;
using reliability::linksOf;
using reliability::parseText;

// One operation over objects that outlive it.
class Scenario {
  public:
    virtual ~Scenario() = default;
    // Runs armed: every allocation in it may fail.
    virtual void operation() = 0;
    // Runs disarmed: everything the operation made or changed, as text.
    virtual std::string state() = 0;
    // Runs disarmed after a failure: "" when the objects are as a failure
    // must leave them, else what is wrong.
    virtual std::string afterFailure() { return ""; }
};

using Factory = std::function<std::unique_ptr<Scenario>()>;

std::string where(Mode mode, unsigned long n) {
    return std::string(mode == Mode::ONCE ? "allocation " : "allocations from ") +
           std::to_string(n) + (mode == Mode::ONCE ? " failing once" : " on failing");
}

// The sweep; returns the failure points (the allocations of one clean run).
// `checkLiveBlocks` is off where an object outside the scenario (the
// language manager) keeps what the operation made.
unsigned long sweep(const Factory& make, bool checkLiveBlocks = true) {
    unsigned long points = 0;
    std::string expected;
    {
        auto clean = make();
        clean->operation();  // also makes whatever the process makes once
        expected = clean->state();
    }
    {
        auto counted = make();
        failing::Armed armed(static_cast<unsigned long>(-1), Mode::ONCE);
        counted->operation();
        points = armed.finish();
    }
    for (Mode mode : {Mode::ONCE, Mode::FROM_THEN_ON}) {
        for (unsigned long n = 1;; ++n) {
            const long liveBefore = failing::liveBlocks();
            bool reached = false;
            {
                auto scenario = make();
                bool threw = false;
                {
                    failing::Armed armed(n, mode);
                    try {
                        scenario->operation();
                    } catch (const std::bad_alloc&) {
                        threw = true;
                    }
                    reached = armed.finish() >= n;
                }
                if (reached) {
                    if (!threw) {
                        EXPECT_EQ(scenario->state(), expected)
                            << "completed in spite of " << where(mode, n);
                    } else {
                        EXPECT_EQ(scenario->afterFailure(), "") << where(mode, n);
                    }
                    scenario->operation();
                }
                EXPECT_EQ(scenario->state(), expected) << "used again after " << where(mode, n);
            }
            if (checkLiveBlocks) {
                EXPECT_EQ(failing::liveBlocks(), liveBefore) << "leak after " << where(mode, n);
            }
            if (!reached || ::testing::Test::HasFailure()) {
                break;
            }
        }
    }
    std::printf("    %lu failure points, each failing once and from then on\n", points);
    return points;
}

class AllocationFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        kavri::platform::SystemInfo::setLanguageCode("en");
        logging::Logger::mROOT_LOGGER->setSink([](int, const char*) {});
    }
    void TearDown() override {
        I18N::deleteSingleton();
        logging::Logger::mROOT_LOGGER->setSink(nullptr);
        kavri::platform::SystemInfo::setLanguageCode(nullptr);
    }
};

// --- The reader -------------------------------------------------------------------------

const char* const DOCUMENT =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE shelf PUBLIC \"-//kavri//shelf\" \"shelf.dtd\">\n"
    "<shelf name=\"a &amp; b\" id='&#x00000041;'><!-- first -->\n"
    "  <book isbn=\"1\" lang=\"en\">Tea &lt; coffee<![CDATA[<raw> & ]]]]><![CDATA[>]]></book>\n"
    "  <book isbn=\"2\"><title>Deep</title><note/></book>\n"
    "</shelf>";

class WholeDocument : public Scenario {
  public:
    void operation() override {
        MemoryInputStream in(DOCUMENT);
        mDocument.reset(mParser.parse(&in));
    }
    std::string state() override {
        return mDocument ? compact(mDocument.get()) + linksOf(mDocument.get()) : "(none)";
    }

  private:
    DOMParser mParser;
    std::unique_ptr<Document> mDocument;
};

TEST_F(AllocationFailure, WholeDocumentParse) {
    sweep([] { return std::make_unique<WholeDocument>(); });
}

// Content read into an element of the caller's own document that already
// has a child. A failure must leave the element in the caller's document
// with its earlier child first; a second read goes into a new element.
class Fragment : public Scenario {
  public:
    Fragment() : mOwner(new Document()) { makeHolder(); }
    void operation() override {
        if (mRead) {
            mFragment.reset();
            makeHolder();
        }
        mRead = true;
        MemoryInputStream in("<item n='1'>one &#65;</item>text<item n='2'><![CDATA[x]]></item>");
        mFragment.reset(mParser.parse(&in, mHolder));
    }
    std::string state() override {
        return compact(mHolder) + (mFragment->getRootNode() == mHolder ? " root" : " elsewhere");
    }
    std::string afterFailure() override {
        std::string out;
        if (mHolder->getChildCount() == 0 ||
            std::strcmp(mHolder->getChildren()[0]->getName(), "kept") != 0) {
            out += " !kept child lost";
        }
        for (const auto& child : mHolder->getChildren()) {
            if (child->getDocument() != mOwner.get() || child->getParent() != mHolder) {
                out += " !links of " + std::string(child->getName());
            }
        }
        if (mHolder->getDocument() != mOwner.get()) {
            out += " !holder not in the caller's document";
        }
        return out;
    }

  private:
    void makeHolder() {
        mHolder = mOwner->createNode("holder", nullptr);
        mOwner->setRootNode(mHolder);
        mHolder->addChild("kept")->addAttribute("id", "1");
    }

    DOMParser mParser;
    std::unique_ptr<Document> mOwner;
    XNode* mHolder = nullptr;
    bool mRead = false;
    std::unique_ptr<Document> mFragment;
};

TEST_F(AllocationFailure, FragmentParseIntoTheCallersNode) {
    sweep([] { return std::make_unique<Fragment>(); });
}

// --- The writer -------------------------------------------------------------------------

class Writes : public Scenario {
  public:
    Writes() : mDocument(parseText(DOCUMENT)) {
        // Values that the writer turns into references.
        XNode* root = mDocument->getRootNode();
        root->addAttribute("ws", "tab\tline\ncr\r");
        root->addBody("cr\rlf\n");
    }
    void operation() override {
        MemoryOutputStream tidy;
        MemoryOutputStream compactOut;
        mTidy.write(mDocument.get(), &tidy);
        mCompact.write(mDocument->getRootNode(), &compactOut);
        mOutput = tidy.str() + "|" + compactOut.str();
    }
    std::string state() override { return mOutput; }

  private:
    std::unique_ptr<Document> mDocument;
    XMLWriter mTidy{true, true, true};
    XMLWriter mCompact{false, false};
    std::string mOutput;
};

TEST_F(AllocationFailure, TidyAndCompactWrite) {
    sweep([] { return std::make_unique<Writes>(); });
}

// --- Copies -----------------------------------------------------------------------------

class CloneAndImport : public Scenario {
  public:
    CloneAndImport() : mSource(parseText(DOCUMENT)), mTarget(new Document()) {}
    void operation() override {
        ::core::SmartPtr<XNode> copy(mSource->getRootNode()->cloneNode(true));
        mTarget->importNode(copy.get());
        mTarget->setRootNode(copy.get());
    }
    std::string state() override {
        return compact(mTarget.get()) + linksOf(mTarget.get()) + "|" + compact(mSource.get()) +
               linksOf(mSource.get());
    }

  private:
    std::unique_ptr<Document> mSource;
    std::unique_ptr<Document> mTarget;
};

TEST_F(AllocationFailure, DeepCloneAndImportNode) {
    sweep([] { return std::make_unique<CloneAndImport>(); });
}

// --- Parameters -------------------------------------------------------------------------

const char* const PARAMETERS =
    "<settings>"
    "<PARAM name='window' type='complex'>"
    "<PARAM name='width' type='int' value='800'/><PARAM name='width' type='int' value='9'/>"
    "<PARAM name='scale' type='float' value='1.5'/><PARAM name='max' type='bool' value='yes'/>"
    "<PARAM name='title' value='Main'/></PARAM>"
    "<PARAM name='recent' type='list'><VALUE>"
    "<PARAM type='string' value='a.txt'/><PARAM type='string' value='b.txt'/>"
    "<PARAM name='inner'><PARAM name='x' type='int' value='1'/></PARAM>"
    "</VALUE></PARAM>"
    "<PARAM name='odd' type='double' value='1'/>"
    "</settings>";

void render(const parameter::BaseParameter* p, std::string& out) {
    if (p == nullptr) {
        out += "null;";
        return;
    }
    out += p->getName() + "=";
    if (auto s = dynamic_cast<const parameter::StringParameter*>(p)) {
        out += "s:" + s->getValue();
    } else if (auto i = dynamic_cast<const parameter::IntParameter*>(p)) {
        out += "i:" + std::to_string(i->getValue());
    } else if (auto f = dynamic_cast<const parameter::FloatParameter*>(p)) {
        out += "f:" + std::to_string(f->getValue());
    } else if (auto b = dynamic_cast<const parameter::BoolParameter*>(p)) {
        out += b->getValue() ? "b:1" : "b:0";
    }
    if (auto list = dynamic_cast<const parameter::ParameterList*>(p)) {
        out += reliability::listState(*list, render);
    }
    out += ";";
}

class Parameters : public Scenario {
  public:
    Parameters() : mDocument(parseText(PARAMETERS)) {}
    // The same list every time: what a failed run added stays, a second run
    // adds nothing of a name already there, so both end as one clean run.
    void operation() override {
        mWindow = nullptr;
        XNode* root = mDocument->getRootNode();
        mWindow = mParser.fromXML(root->getFirstChild("PARAM"));
        mParser.fromXML(root, mList);
    }
    std::string state() override {
        std::string out;
        render(mWindow.get(), out);
        out += reliability::listState(mList, render);
        return out;
    }

  private:
    std::unique_ptr<Document> mDocument;
    kavri::xml::ParameterParser mParser;
    ::core::SmartPtr<parameter::BaseParameter> mWindow;
    parameter::UniqueParameterList mList;
};

TEST_F(AllocationFailure, ParameterParserFromXML) {
    sweep([] { return std::make_unique<Parameters>(); });
}

// --- Localisation -----------------------------------------------------------------------

class BundleTree : public Scenario {
  public:
    BundleTree() : mRoot(new Bundle("default", "i18n/texts.xml")) {
        reliability::addBundleFiles(mFiles);
        mRoot->addChild(new Bundle("more", "i18n/more.json"));
        mRoot->setLanguage("de");
    }
    void operation() override { mRoot->load(&mFiles, true); }
    std::string state() override {
        return reliability::textsOf(*mRoot) + "|" + reliability::textsOf(*mRoot->getChild(0u));
    }

  private:
    kavri::vfs::MemoryFileSystem mFiles;
    ::core::SmartPtr<Bundle> mRoot;
};

TEST_F(AllocationFailure, BundleLoadOfXmlAndJsonPairs) {
    sweep([] { return std::make_unique<BundleTree>(); });
}

// The manager keeps what it made until the next initialize: its blocks are
// not counted, the sanitizer build checks its leaks.
class Manager : public Scenario {
  public:
    explicit Manager(const char* path) : mPath(path) { reliability::addBundleFiles(mFiles); }
    void operation() override { I18N::getSingleton().initialize(&mFiles, mPath, "de"); }
    std::string state() override { return reliability::managerState(I18N::getSingleton()); }

  private:
    kavri::vfs::MemoryFileSystem mFiles;
    const char* mPath;
};

TEST_F(AllocationFailure, ManagerInitializeWithXmlBundles) {
    sweep([] { return std::make_unique<Manager>("i18n/texts.xml"); }, false);
}

TEST_F(AllocationFailure, ManagerInitializeWithJsonBundles) {
    sweep([] { return std::make_unique<Manager>("i18n/more.json"); }, false);
}

class LookUps : public Scenario {
  public:
    LookUps() {
        reliability::addBundleFiles(mFiles);
        I18N::getSingleton().initialize(&mFiles, "i18n/texts.xml", "de");
    }
    void operation() override {
        I18N& i18n = I18N::getSingleton();
        std::string greeting, resolved, missing;
        i18n.getText("hello", greeting, true, "Ada");
        i18n.resolve("${app}: %d ${title} ${missing}", resolved, true, 7);
        i18n.getText("no such key %s", missing, true, "x");
        mOutput = greeting + "|" + resolved + "|" + missing;
    }
    std::string state() override { return mOutput; }

  private:
    kavri::vfs::MemoryFileSystem mFiles;
    std::string mOutput;
};

TEST_F(AllocationFailure, GetTextAndResolve) {
    sweep([] { return std::make_unique<LookUps>(); });
}

}  // namespace
