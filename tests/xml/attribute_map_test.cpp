#include "xml/XNode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "framework/plinth/CriticalSection.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/NameTable.h"
#include "xml/TreeBuilder.h"

namespace kavri {
namespace xml {
namespace {

using AttributeMap = ::core::CKHashMap<Attribute*>;

std::string entries(const AttributeMap& map) {
    std::string seen;
    for (const auto& entry : map) {
        seen += std::string(entry.first) + "=" + entry.second->getValue() + " ";
    }
    return seen;
}

// The map's own contract, apart from any node: ownership, the filed key,
// and the same answers from the array and from the tree it grows into.
// (Values disposed of twice or too early show under AddressSanitizer.)
TEST(AttributeMap, FilesOwnsAndAnswersAlikeInBothLayouts) {
    for (int count : {3, 100}) {
        AttributeMap map(true, nullptr);
        for (int i = count - 1; i >= 0; --i) {
            EXPECT_FALSE(map.put(("k" + std::to_string(i)).c_str(),
                                 new Attribute("k" + std::to_string(i), "v")));
        }
        Attribute* kept = map.get("k1");
        EXPECT_TRUE(map.put("k1", kept));  // the same value stays alive
        EXPECT_TRUE(map.put("k1", new Attribute("k1", "new")));
        EXPECT_STREQ(map.get("k1")->getValue(), "new");
        // A value whose name is not its key answers to the key.
        Attribute* other = new Attribute("name", "x");
        EXPECT_FALSE(map.put("key", other));
        EXPECT_EQ(map.get("key"), other);
        EXPECT_EQ(map.get("name"), nullptr);
        EXPECT_STREQ(other->getName(), "name");
        EXPECT_EQ(map.lower_bound("k2")->second, map.get("k2"));
        EXPECT_EQ(map.lower_bound("k1~")->second, map.get("k2"));
        EXPECT_EQ(map.count("k0"), 1u);
        EXPECT_FALSE(map.remove("absent"));
        EXPECT_TRUE(map.remove("k0"));
        EXPECT_EQ(map.size(), static_cast<size_t>(count));  // one added, one removed
        EXPECT_EQ(entries(map).substr(0, 7), "k1=new ");
        map.clear();
        EXPECT_TRUE(map.empty());
        EXPECT_EQ(map.begin(), map.end());
    }

    // Without clear() the values outlive the map; a map made with a null
    // value other than null answers it for missing keys.
    Attribute* survivor = new Attribute("s", "alive");
    { AttributeMap(true, nullptr).put("s", survivor); }
    EXPECT_STREQ(survivor->getValue(), "alive");
    {
        AttributeMap fallback(false, survivor);
        EXPECT_EQ(fallback.get("missing"), survivor);
        EXPECT_FALSE(fallback.ownsValues());
    }
    delete survivor;
}

// An only attribute is held in the map itself; a second moves both into
// the array in order, and the map comes back to one and to none.
TEST(AttributeMap, OneAttributeAnswersLikeAnyOtherLayout) {
    AttributeMap map(true, nullptr);
    Attribute* b = new Attribute("b", "1");
    EXPECT_FALSE(map.put("b", b));
    EXPECT_EQ(map.size(), 1u);
    EXPECT_EQ(map.get("b"), b);
    EXPECT_EQ(map.get("a"), nullptr);
    EXPECT_EQ(map.find("b")->second, b);
    EXPECT_EQ(map.find("c"), map.end());
    EXPECT_EQ(map.lower_bound("a")->second, b);
    EXPECT_EQ(map.lower_bound("c"), map.end());
    auto last = map.end();
    EXPECT_EQ((--last)->second, b);
    EXPECT_EQ(entries(map), "b=1 ");
    EXPECT_TRUE(map.put("b", b));  // the same value stays alive
    EXPECT_TRUE(map.put("b", new Attribute("b", "2")));
    EXPECT_FALSE(map.put("a", new Attribute("a", "0")));
    EXPECT_FALSE(map.put("c", new Attribute("c", "3")));
    EXPECT_EQ(entries(map), "a=0 b=2 c=3 ");
    EXPECT_TRUE(map.remove("a"));
    EXPECT_TRUE(map.remove("c"));
    EXPECT_EQ(entries(map), "b=2 ");
    EXPECT_TRUE(map.remove("b"));
    EXPECT_TRUE(map.empty());
    EXPECT_EQ(map.begin(), map.end());
    EXPECT_FALSE(map.put("z", new Attribute("z", "9")));
    map.clear();
    EXPECT_EQ(map.size(), 0u);

    // A map that does not own its values lets its only one go untouched.
    Attribute held("x", "kept");
    AttributeMap view(false, nullptr);
    view.put("x", &held);
    EXPECT_TRUE(view.remove("x"));
    view.put("x", &held);
    view.clear();
    EXPECT_STREQ(held.getValue(), "kept");
}

// A start tag's attributes filed at once leave the map that putting them
// one after another would: byte order, the last of a repeated name, the
// earlier ones disposed of (AddressSanitizer sees a leak or a double free).
// So does a reading, which remembers the orders of the tags it filed: each
// tag comes again, and with its names in other orders, so that a
// remembered order is reused only where it fits.
TEST(AttributeMap, FilingATagAtOnceLeavesWhatPutsWould) {
    const std::vector<std::vector<std::pair<const char*, const char*>>> tags = {
        {{"b", "1"}, {"a", "2"}},
        {{"x", "1"}, {"x", "2"}},
        {{"x", "1"}, {"y", "2"}, {"x", "3"}, {"a", "4"}, {"x", "5"}},
        {{"q", "1"}, {"p", "2"}, {"o", "3"}, {"n", "4"}, {"m", "5"}, {"l", "6"}},
        {{"a", "2"}, {"b", "1"}},
        {{"b", "1"}, {"a", "2"}},
        {{"x", "1"}, {"x", "2"}},
        {{"l", "6"}, {"q", "1"}, {"o", "3"}, {"n", "4"}, {"m", "5"}, {"p", "2"}},
        {{"q", "1"}, {"p", "2"}, {"o", "3"}, {"n", "4"}, {"m", "5"}, {"l", "6"}},
        {{"q", "1"}, {"p", "2"}, {"o", "3"}, {"n", "4"}, {"m", "5"}, {"l", "6"}},
    };
    ::core::CriticalSection::Guard guard(DOMParser::gCS);
    const TreeBuilder reading{};
    Document doc;
    for (const auto& tag : tags) {
        AttributeMap oneByOne(true, nullptr);
        AttributeMap atOnce(true, nullptr);
        std::vector<Attribute*> made;
        std::vector<TreeBuilder::TagAttribute> read;
        for (const auto& [name, value] : tag) {
            oneByOne.put(name, new Attribute(name, value));
            made.push_back(new Attribute(name, value));
            read.push_back({name, std::strlen(name), value, std::strlen(value), false});
        }
        atOnce.fileParsed(made.data(), static_cast<uint32_t>(made.size()));
        ::core::SmartPtr<XNode> element(doc.createNode("e", nullptr));
        reading.attributes(element.get(), read.data(), read.size());
        EXPECT_EQ(entries(atOnce), entries(oneByOne));
        EXPECT_EQ(entries(element->getAttributes()), entries(oneByOne));
        EXPECT_EQ(atOnce.size(), oneByOne.size());
        for (const auto& [name, value] : tag) {
            EXPECT_STREQ(atOnce.get(name)->getValue(), oneByOne.get(name)->getValue());
            EXPECT_STREQ(element->getAttribute(name)->getValue(), oneByOne.get(name)->getValue());
        }
        // Grows like any other map afterwards.
        atOnce.put("zz", new Attribute("zz", "last"));
        EXPECT_STREQ(atOnce.get("zz")->getValue(), "last");
        atOnce.clear();
        oneByOne.clear();
    }
}

// Copies and assignment: a copy belongs to no node; assignment renames,
// keeping the filed name.
TEST(AttributeMap, CopiedAttributesKeepNamesApart) {
    Attribute original("a", "1");
    Attribute copy(original);
    copy.setName("b");
    EXPECT_STREQ(original.getName(), "a");
    EXPECT_STREQ(copy.filedName(), "a");
    copy.setName(std::string("c\0tail", 6));  // a second rename keeps the first name
    EXPECT_EQ(copy.getNameString(), "c");
    EXPECT_STREQ(copy.filedName(), "a");
    Attribute target("t", "0");
    target = copy;
    EXPECT_STREQ(target.getName(), "c");
    EXPECT_STREQ(target.getValue(), "1");
    EXPECT_STREQ(target.filedName(), "t");
}

// The reader's names: equal bytes give the one kept string, and what the
// table will not keep (too long) is left to the caller's own copy.
TEST(NameTable, KeepsEachNameOnceAndRefusesTooLongOnes) {
    ::core::CriticalSection::Guard guard(DOMParser::gCS);
    const std::string* item = NameTable::intern("item-name", 4);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(*item, "item");
    EXPECT_EQ(NameTable::intern(std::string("item").c_str(), 4), item);
    EXPECT_NE(NameTable::intern("items", 5), item);
    EXPECT_EQ(*NameTable::intern("", 0), "");
    const std::string tooLong(NameTable::MAX_LENGTH + 1, 'n');
    EXPECT_EQ(NameTable::intern(tooLong.data(), tooLong.size()), nullptr);
    ::core::internal::NameRef own = NameTable::nameOf(tooLong.data(), tooLong.size());
    EXPECT_EQ(own.str(), tooLong);
    ::core::internal::NameRef shared = NameTable::nameOf("item", 4);
    EXPECT_EQ(&shared.str(), item);
    EXPECT_EQ(&shared.duplicate().str(), item);
    EXPECT_NE(&own.duplicate().str(), &own.str());
}

}  // namespace
}  // namespace xml
}  // namespace kavri
