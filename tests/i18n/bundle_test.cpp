// Bundle in memory: look-ups with inheritance, formatting, reference
// substitution, and the child tree with its moves, index and languages.
#include <cwchar>
#include <string>

#include "core/SmartPtr.h"
#include "i18n/Bundle.h"
#include "localisation_test_support.h"

using core::SmartPtr;
using kavri::i18n::Bundle;

namespace {

class BundleTest : public LocalisationTest {};

int gDisposed = 0;
void countAndDelete(core::IRefCount* object) {
    ++gDisposed;
    delete object;
}

TEST_F(BundleTest, LookUpFallsBackToTheNearestAncestorOnlyWhenInheriting) {
    SmartPtr<Bundle> grand(new Bundle("grand", "grand.xml"));
    Bundle* parent = new Bundle("parent", "parent.xml");
    Bundle* child = new Bundle("child", "child.xml");
    grand->addChild(parent);
    parent->addChild(child);
    grand->setText("title", "from grand");
    parent->setText("both", "from parent");
    child->setText("both", "from child");

    const char* key = "title";
    EXPECT_STREQ(child->getText(key, true), "from grand");
    EXPECT_EQ(child->getText(key, false), key);  // the caller's pointer itself
    EXPECT_STREQ(child->getText("both", true), "from child");
    EXPECT_STREQ(child->getText("both", false), "from child");

    // operator[] and containsKey never ask the parent.
    EXPECT_EQ((*parent)[key], key);
    EXPECT_FALSE(parent->containsKey("title"));
    EXPECT_STREQ((*parent)["both"], "from parent");

    child->setText("both", "second");
    child->setText(nullptr, "ignored");
    child->setText("both", nullptr);
    EXPECT_STREQ(child->getText("both", false), "second");
    EXPECT_EQ(child->getTexts().size(), 1u);
}

TEST_F(BundleTest, FormattingMeasuresOnceAndTreatsAMissingKeyAsTheFormat) {
    Bundle bundle("b", "b.xml");
    bundle.setText("empty", "");
    bundle.setText("padded", "[%-6s|%05d]");
    std::string out = "stale";

    EXPECT_STREQ(bundle.getText("Total: %d", out, false, 5), "Total: 5");
    EXPECT_STREQ(bundle.getText("empty", out, false, 5), "");
    EXPECT_STREQ(bundle.getText("padded", out, false, "ab", 42), "[ab    |00042]");
    EXPECT_EQ(out.size(), 14u);

    std::string wide(5000, 'x');
    bundle.getText("%s!", out, false, wide.c_str());
    EXPECT_EQ(out, wide + "!");

    // In the "C" locale the formatter cannot convert this wide character and
    // rejects the format: the result is empty, not what `out` held before.
    out = "stale";
    bundle.getText("%ls", out, false, L"\u00e9");
    EXPECT_EQ(out, "");
}

TEST_F(BundleTest, ResolveSubstitutesReferencesOneLevelDeepThenFormats) {
    Bundle bundle("b", "b.xml");
    bundle.setText("name", "World");
    bundle.setText("a", "${b}");
    bundle.setText("c", "%d items");
    std::string name63(63, 'n');
    bundle.setText(name63.c_str(), "long");
    std::string out;

    EXPECT_TRUE(Bundle::needsResolving("a ${b}"));
    EXPECT_TRUE(Bundle::needsResolving("${"));
    EXPECT_FALSE(Bundle::needsResolving("a $ {b}"));
    EXPECT_FALSE(Bundle::needsResolving("a {b}"));

    EXPECT_STREQ(bundle.resolve("Hello ${name}!", out, false), "Hello World!");
    EXPECT_STREQ(bundle.resolve("${missing}", out, false), "missing");
    EXPECT_STREQ(bundle.resolve(("<${" + name63 + "}>").c_str(), out, false), "<long>");
    EXPECT_STREQ(bundle.resolve("${a}", out, false), "${b}");
    EXPECT_STREQ(bundle.resolve("Count: ${c}", out, false, 3), "Count: 3 items");
    EXPECT_STREQ(bundle.resolve("", out, false), "");
    EXPECT_STREQ(bundle.resolve("%d%%", out, false, 7), "7%");
    EXPECT_STREQ(bundle.resolveReferences("${c}: ${name}", out, false), "%d items: World");
}

TEST_F(BundleTest, MalformedReferencesStayAsWritten) {
    Bundle bundle("b", "b.xml");
    bundle.setText("name", "World");
    std::string out;
    std::string name64(64, 'n');

    EXPECT_STREQ(bundle.resolve("${", out, false), "${");
    EXPECT_STREQ(bundle.resolve("${}${name}", out, false), "${}World");
    EXPECT_STREQ(bundle.resolve("a ${name", out, false), "a ${name");
    EXPECT_STREQ(bundle.resolve("$name {name} } $", out, false), "$name {name} } $");
    std::string tooLong = "${" + name64 + "}";
    EXPECT_EQ(std::string(bundle.resolve((tooLong + "${name}").c_str(), out, false)),
              tooLong + "World");
}

TEST_F(BundleTest, ReferencesReachTheParentOnlyWhenInheriting) {
    SmartPtr<Bundle> parent(new Bundle("parent", "p.xml"));
    Bundle* child = new Bundle("child", "c.xml");
    parent->addChild(child);
    parent->setText("x", "from parent");
    std::string out;
    EXPECT_STREQ(child->resolve("${x}", out, true), "from parent");
    EXPECT_STREQ(child->resolve("${x}", out, false), "x");
}

TEST_F(BundleTest, AddChildMovesBetweenParentsAndWarnsAboutAnotherLanguage) {
    SmartPtr<Bundle> a(new Bundle("a", "a.xml"));
    SmartPtr<Bundle> b(new Bundle("b", "b.xml"));
    b->addChild(new Bundle("first", "f.xml"));
    Bundle* moving = new Bundle("moving", "m.xml");
    a->addChild(moving);  // a holds the only reference

    b->addChild(moving);
    EXPECT_EQ(a->getChildCount(), 0u);
    EXPECT_EQ(a->getChild("moving", false), nullptr);
    ASSERT_EQ(b->getChildCount(), 2u);
    EXPECT_EQ(b->getChild(1u), moving);
    EXPECT_EQ(moving->getParent(), b.get());
    EXPECT_STREQ(moving->getName(), "moving");  // survived the move

    b->addChild(moving);
    b->addChild(nullptr);
    EXPECT_EQ(b->getChildCount(), 2u);
    EXPECT_TRUE(mWarnings.empty());

    Bundle* german = new Bundle("german", "g.xml");
    german->setLanguage("de");
    b->addChild(german);
    ASSERT_EQ(mWarnings.size(), 1u);
    EXPECT_EQ(mWarnings[0], "Bundle::addChild:adding bundle in different language: de!=en");
    EXPECT_EQ(b->getChild("german", false), german);
    EXPECT_STREQ(german->getLanguage(), "de");

    // A bundle below itself would be a cycle: refused.
    moving->addChild(b);
    moving->addChild(moving);
    EXPECT_EQ(moving->getChildCount(), 0u);
    EXPECT_EQ(b->getParent(), nullptr);
}

TEST_F(BundleTest, SameNamedSiblingsShareOneIndexEntry) {
    SmartPtr<Bundle> parent(new Bundle("p", "p.xml"));
    SmartPtr<Bundle> earlier(new Bundle("menu", "m1.xml"));
    SmartPtr<Bundle> later(new Bundle("menu", "m2.xml"));
    parent->addChild(earlier);
    parent->addChild(later);
    EXPECT_EQ(parent->getChildCount(), 2u);
    EXPECT_EQ(parent->getChild("menu", false), later.get());

    // Removing the sibling that lost the entry keeps the other findable.
    EXPECT_TRUE(parent->removeChild(earlier, false));
    EXPECT_EQ(parent->getChild("menu", false), later.get());
    EXPECT_TRUE(parent->removeChild(later, false));
    EXPECT_EQ(parent->getChild("menu", false), nullptr);
    EXPECT_FALSE(parent->removeChild(later, false));
}

TEST_F(BundleTest, DeepRemovalAndDeepSearchReachGrandchildrenOnly) {
    SmartPtr<Bundle> root(new Bundle("root", "r.xml"));
    Bundle* a = new Bundle("a", "a.xml");
    Bundle* b = new Bundle("b", "b.xml");
    Bundle* grandB = new Bundle("b", "ab.xml");
    Bundle* deep = new Bundle("deep", "d.xml");
    root->addChild(b);  // added first, but "a" sorts first
    root->addChild(a);
    a->addChild(grandB);
    grandB->addChild(deep);

    EXPECT_EQ(root->getChild("b", false), b);
    EXPECT_EQ(root->getChild("b", true), grandB);  // under "a", which sorts before "b"
    EXPECT_EQ(root->getChild("a", true), a);
    EXPECT_EQ(root->getChild("deep", true), nullptr);

    SmartPtr<Bundle> keep(grandB);
    EXPECT_FALSE(root->removeChild(grandB, false));
    EXPECT_TRUE(root->removeChild(grandB, true));
    EXPECT_EQ(grandB->getParent(), nullptr);
    EXPECT_EQ(a->getChildCount(), 0u);
    EXPECT_EQ(deep->getParent(), grandB);
}

TEST_F(BundleTest, SetLanguageStopsAtSubtreesThatAlreadyHaveTheCode) {
    SmartPtr<Bundle> root(new Bundle("root", "r.xml"));
    Bundle* child = new Bundle("child", "c.xml");
    Bundle* grandchild = new Bundle("grandchild", "g.xml");
    root->addChild(child);
    child->addChild(grandchild);
    grandchild->setLanguage("it");

    root->setLanguage("en");  // already root's code: nothing is visited
    EXPECT_STREQ(grandchild->getLanguage(), "it");
    root->setLanguage(nullptr);
    EXPECT_STREQ(root->getLanguage(), "en");
    root->setLanguage("fr");
    EXPECT_STREQ(child->getLanguage(), "fr");
    EXPECT_STREQ(grandchild->getLanguage(), "fr");
}

TEST_F(BundleTest, ClearEmptiesTextsButKeepsTheTreeAndItsIndex) {
    SmartPtr<Bundle> root(new Bundle("root", "i18n/root"));
    Bundle* child = new Bundle("child", "c.json");
    root->addChild(child);
    root->setText("k", "v");
    child->setText("k", "w");
    root->clear();
    EXPECT_FALSE(root->containsKey("k"));
    EXPECT_FALSE(child->containsKey("k"));
    EXPECT_EQ(root->getChild("child", false), child);
    EXPECT_EQ(child->getParent(), root.get());
    EXPECT_STREQ(root->getPath(), "i18n/root.xml");  // the constructor's default extension
    EXPECT_STREQ(child->getPath(), "c.json");
    EXPECT_STREQ(root->getLanguage(), "en");
}

TEST_F(BundleTest, DestroyingAParentReleasesItsChildrenOrOrphansThem) {
    gDisposed = 0;
    SmartPtr<Bundle> held(new Bundle("held", "h.xml"));
    {
        SmartPtr<Bundle> parent(new Bundle("parent", "p.xml"));
        Bundle* owned = new Bundle("owned", "o.xml");
        owned->setReleaseCallback(&countAndDelete);
        parent->addChild(owned);
        parent->addChild(held);
        held->setText("k", "v");
    }
    EXPECT_EQ(gDisposed, 1);
    EXPECT_EQ(held->getParent(), nullptr);
    EXPECT_FALSE(held->containsKey("k"));
}

}  // namespace
