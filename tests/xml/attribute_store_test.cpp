#include "xml/AttributeStore.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/plinth/CriticalSection.h"
#include "xml/DOMParser.h"
#include "xml/NameTable.h"

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
    ::core::NameRef own = NameTable::nameOf(tooLong.data(), tooLong.size());
    EXPECT_EQ(own.str(), tooLong);
    ::core::NameRef shared = NameTable::nameOf("item", 4);
    EXPECT_EQ(&shared.str(), item);
    EXPECT_EQ(&shared.duplicate().str(), item);
    EXPECT_NE(&own.duplicate().str(), &own.str());
}

}  // namespace
}  // namespace xml
}  // namespace kavri
