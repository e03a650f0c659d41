// Bundle in memory: look-ups with inheritance, formatting (the shortcuts for
// texts without conversions and for short results give what printf gives),
// reference substitution, and the child tree with its moves, index and
// languages.
#include <cstdio>
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

TEST_F(BundleTest, LookUpsFallBackToTheNearestAncestorOnlyWhenInheriting) {
    SmartPtr<Bundle> grand(new Bundle("grand", "grand.xml"));
    Bundle* parent = new Bundle("parent", "parent.xml");
    Bundle* child = new Bundle("child", "child.xml");
    grand->addChild(parent);
    parent->addChild(child);
    grand->setText("title", "from grand");
    parent->setText("both", "from parent");
    child->setText("both", "first");
    child->setText("both", "from child");
    child->setText(nullptr, "ignored");
    child->setText("both", nullptr);

    const char* key = "title";
    EXPECT_STREQ(child->getText(key, true), "from grand");
    EXPECT_EQ(child->getText(key, false), key);  // the caller's pointer itself
    EXPECT_STREQ(child->getText("both", true), "from child");
    EXPECT_EQ((*parent)[key], key);  // operator[] and containsKey never ask the parent
    EXPECT_FALSE(parent->containsKey("title"));
    EXPECT_EQ(child->getTexts().size(), 1u);

    std::string out;
    EXPECT_STREQ(child->resolve("${title}", out, true), "from grand");
    EXPECT_STREQ(child->resolve("${title}", out, false), "title");
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
    // In the "C" locale the formatter cannot convert this wide character and
    // rejects the format: the result is empty, not what `out` held before.
    out = "stale";
    bundle.getText("%ls", out, false, L"\u00e9");
    EXPECT_EQ(out, "");
}

std::string printfOf(const char* format, const char* word, int number) {
    int length = std::snprintf(nullptr, 0, format, word, number);
    std::string out(static_cast<size_t>(length), '\0');
    std::snprintf(&out[0], out.size() + 1, format, word, number);
    return out;
}

TEST(BundleFormatPaths, ResultsOnEitherSideOfTheShortBufferMatchPrintf) {
    Bundle bundle("b", "b.xml");
    std::string out;
    for (size_t padding : {0u, 200u, 240u, 245u, 246u, 247u, 300u, 5000u}) {
        std::string format = std::string(padding, '.') + "[%s|%d]";
        std::string expected = printfOf(format.c_str(), "word", 42);
        bundle.setText("k", format.c_str());
        EXPECT_EQ(bundle.getText("k", out, false, "word", 42), expected) << padding;
        EXPECT_EQ(out.size(), expected.size());
        EXPECT_EQ(bundle.resolve(format.c_str(), out, false, "word", 42), expected) << padding;
    }
}

TEST(BundleFormatPaths, TextsWithoutConversionsComeBackAsTheyAre) {
    Bundle bundle("b", "b.xml");
    bundle.setText("name", "Ada");
    bundle.setText("long", std::string(600, 'x').c_str());
    std::string out = "stale";
    EXPECT_STREQ(bundle.resolve("Hello ${name}, ${long}!", out, false, 1, 2),
                 ("Hello Ada, " + std::string(600, 'x') + "!").c_str());
    EXPECT_STREQ(bundle.getText("name", out, false), "Ada");
    // A reference that brings in a conversion is formatted.
    bundle.setText("count", "%d files");
    EXPECT_STREQ(bundle.resolve("${count} of ${name}", out, false, 3), "3 files of Ada");
    // A conversion that prints nothing leaves an empty result.
    EXPECT_STREQ(bundle.resolve("%s", out, false, ""), "");
}

TEST_F(BundleTest, ResolveSubstitutesWellFormedReferencesOneLevelDeepThenFormats) {
    Bundle bundle("b", "b.xml");
    bundle.setText("name", "World");
    bundle.setText("a", "${b}");
    bundle.setText("c", "%d items");
    std::string name63(63, 'n');
    std::string name64(64, 'n');
    bundle.setText(name63.c_str(), "63");
    bundle.setText(name64.c_str(), "64");
    std::string out;

    EXPECT_TRUE(Bundle::needsResolving("${"));
    EXPECT_FALSE(Bundle::needsResolving("a $ {b}"));
    EXPECT_STREQ(bundle.resolve("Hello ${name}!", out, false), "Hello World!");
    EXPECT_STREQ(bundle.resolve("${missing}", out, false), "missing");
    EXPECT_STREQ(bundle.resolve("${a}", out, false), "${b}");
    EXPECT_STREQ(bundle.resolve("Count: ${c}", out, false, 3), "Count: 3 items");
    EXPECT_STREQ(bundle.resolve("%d%%", out, false, 7), "7%");
    EXPECT_STREQ(bundle.resolve("", out, false), "");
    EXPECT_STREQ(bundle.resolveReferences("${c}", out, false), "%d items");
    EXPECT_EQ(std::string(bundle.resolve(("${" + name63 + "}").c_str(), out, false)), "63");

    // Malformed references stay as written, and the scan goes on after them.
    std::string tooLong = "${" + name64 + "}";
    EXPECT_EQ(std::string(bundle.resolve((tooLong + "${name}").c_str(), out, false)),
              tooLong + "World");
    EXPECT_STREQ(bundle.resolve("${}${name} $name {name} }", out, false),
                 "${}World $name {name} }");
    EXPECT_STREQ(bundle.resolve("a ${name", out, false), "a ${name");
}

TEST_F(BundleTest, AddChildMovesBetweenParentsAndWarnsAboutAnotherLanguage) {
    SmartPtr<Bundle> a(new Bundle("a", "a.xml"));
    SmartPtr<Bundle> b(new Bundle("b", "b.xml"));
    b->addChild(new Bundle("first", "f.xml"));
    Bundle* moving = new Bundle("moving", "m.xml");
    a->addChild(moving);  // a holds the only reference
    b->addChild(moving);
    b->addChild(moving);
    EXPECT_EQ(a->getChildCount(), 0u);
    ASSERT_EQ(b->getChildCount(), 2u);
    EXPECT_EQ(b->getChild(1u), moving);
    EXPECT_EQ(moving->getParent(), b.get());
    EXPECT_TRUE(mWarnings.empty());

    Bundle* german = new Bundle("german", "g.xml");
    german->setLanguage("de");
    b->addChild(german);
    EXPECT_EQ(mWarnings, std::vector<std::string>{
                             "Bundle::addChild:adding bundle in different language: de!=en"});
    EXPECT_EQ(b->getChild("german", false), german);

    moving->addChild(b);  // a cycle: refused
    EXPECT_EQ(moving->getChildCount(), 0u);
}

TEST_F(BundleTest, TheIndexAndTheDeepSearchFindChildrenAndGrandchildren) {
    SmartPtr<Bundle> root(new Bundle("root", "r.xml"));
    Bundle* a = new Bundle("a", "a.xml");
    SmartPtr<Bundle> b(new Bundle("b", "b.xml"));
    SmartPtr<Bundle> laterB(new Bundle("b", "b2.xml"));
    SmartPtr<Bundle> grandB(new Bundle("b", "ab.xml"));
    root->addChild(b);  // added first, but "a" sorts first
    root->addChild(a);
    a->addChild(grandB);
    grandB->addChild(new Bundle("deep", "d.xml"));
    EXPECT_EQ(root->getChild("b", true), grandB.get());
    EXPECT_EQ(root->getChild("deep", true), nullptr);

    root->addChild(laterB);  // takes over the index entry "b"
    EXPECT_EQ(root->getChildCount(), 3u);
    EXPECT_EQ(root->getChild("b", false), laterB.get());
    EXPECT_TRUE(root->removeChild(b, false));
    EXPECT_EQ(root->getChild("b", false), laterB.get());  // still findable

    EXPECT_FALSE(root->removeChild(grandB, false));
    EXPECT_TRUE(root->removeChild(grandB, true));
    EXPECT_EQ(grandB->getParent(), nullptr);
    EXPECT_EQ(a->getChildCount(), 0u);
}

TEST_F(BundleTest, LanguageAndClearWalkTheSubtreeAndKeepItsShape) {
    SmartPtr<Bundle> root(new Bundle("root", "i18n/root"));
    Bundle* child = new Bundle("child", "c.json");
    Bundle* grandchild = new Bundle("grandchild", "g.xml");
    root->addChild(child);
    child->addChild(grandchild);
    grandchild->setLanguage("it");
    root->setLanguage("en");  // already root's code: the children are not visited
    EXPECT_STREQ(grandchild->getLanguage(), "it");
    root->setLanguage("fr");
    EXPECT_STREQ(grandchild->getLanguage(), "fr");

    root->setText("k", "v");
    grandchild->setText("k", "w");
    root->clear();
    EXPECT_FALSE(root->containsKey("k"));
    EXPECT_FALSE(grandchild->containsKey("k"));
    EXPECT_EQ(root->getChild("child", false), child);
    EXPECT_STREQ(root->getPath(), "i18n/root.xml");  // the constructor's default extension
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
