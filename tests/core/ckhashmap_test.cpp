#include "core/CKHashMap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/SmartPtr.h"

namespace {

// A value that counts its live instances and logs its destruction by name.
struct Counted {
    static int live;
    static std::vector<std::string> destroyed;

    explicit Counted(const char* name) : mName(name) { ++live; }
    virtual ~Counted() {
        --live;
        destroyed.push_back(mName);
    }
    std::string mName;
};
int Counted::live = 0;
std::vector<std::string> Counted::destroyed;

struct Shared : core::IRefCount {
    static int live;
    Shared() { ++live; }
    ~Shared() override { --live; }
};
int Shared::live = 0;

class CKHashMapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Counted::live = 0;
        Counted::destroyed.clear();
        Shared::live = 0;
    }
};

template <class Map>
std::vector<std::string> keysOf(const Map& map) {
    std::vector<std::string> keys;
    for (const auto& entry : map) {
        keys.push_back(entry.first);
    }
    return keys;
}

TEST_F(CKHashMapTest, KeysIterateInUnsignedByteOrder) {
    core::CKHashMap<const char*> map(false, nullptr);
    for (const char* key : {"b", "a", "\xC3\xA9", "B", "ab", "", "~"}) {
        EXPECT_FALSE(map.put(key, "v"));
    }
    // Bytes from 0x80 up sort after every ASCII byte; "" before everything.
    EXPECT_EQ(keysOf(map), (std::vector<std::string>{"", "B", "a", "ab", "b", "~", "\xC3\xA9"}));
}

TEST_F(CKHashMapTest, LookupIsExactAndMissingKeysGiveTheNullValue) {
    static const char* const kMissing = "missing";
    core::CKHashMap<const char*> map(false, kMissing);
    map.put("id", "lower");
    map.put("ID", "upper");
    map.put("", "empty");

    EXPECT_EQ(map.size(), 3u);
    EXPECT_STREQ(map.get("id"), "lower");
    EXPECT_STREQ(map.get("ID"), "upper");
    EXPECT_STREQ(map.get(""), "empty");
    EXPECT_EQ(map.get("Id"), kMissing);
    EXPECT_EQ(map.get("i"), kMissing);
    EXPECT_EQ(map.get("idx"), kMissing);
    EXPECT_EQ(map.getNullValue("id"), kMissing);
    EXPECT_TRUE(map.contains(""));
    EXPECT_FALSE(map.contains("iD"));

    core::CKHashMap<Counted*> pointers(true, nullptr);
    EXPECT_EQ(pointers.get("absent"), nullptr);
}

TEST_F(CKHashMapTest, KeepsItsOwnCopyOfEveryKey) {
    core::CKHashMap<const char*> map(false, nullptr);
    char key[] = "name";
    map.put(key, "first");
    std::strcpy(key, "xxxx");

    EXPECT_STREQ(map.get("name"), "first");
    EXPECT_EQ(map.get("xxxx"), nullptr);
    ASSERT_EQ(map.size(), 1u);
    EXPECT_NE(map.begin()->first, static_cast<const char*>(key));
    EXPECT_STREQ(map.begin()->first, "name");

    // A replacing put with another buffer keeps the stored key.
    std::string again = "name";
    EXPECT_TRUE(map.put(again.c_str(), "second"));
    again = "zzzz";
    EXPECT_STREQ(map.begin()->first, "name");
    EXPECT_STREQ(map.get("name"), "second");
}

TEST_F(CKHashMapTest, PutReplacesAndDisposesTheOldValueOnlyInOwningMaps) {
    core::CKHashMap<Counted*> owning(true, nullptr);
    Counted* second = new Counted("second");
    EXPECT_FALSE(owning.put("k", new Counted("first")));
    EXPECT_TRUE(owning.put("k", second));
    EXPECT_EQ(Counted::destroyed, std::vector<std::string>{"first"});
    EXPECT_EQ(owning.get("k"), second);
    EXPECT_EQ(owning.size(), 1u);

    // Storing the value that is already there keeps it.
    EXPECT_TRUE(owning.put("k", second));
    EXPECT_EQ(Counted::live, 1);
    EXPECT_EQ(owning.get("k"), second);

    core::CKHashMap<Counted*> borrowing(false, nullptr);
    Counted a("a");
    Counted b("b");
    borrowing.put("k", &a);
    EXPECT_TRUE(borrowing.put("k", &b));
    EXPECT_EQ(Counted::live, 3);
    EXPECT_EQ(borrowing.get("k"), &b);

    owning.clear();
    EXPECT_EQ(Counted::live, 2);
}

TEST_F(CKHashMapTest, RemoveAndClearDisposeOwnedValuesInKeyOrder) {
    core::CKHashMap<Counted*> map(true, nullptr);
    map.clear();  // empty: nothing to do
    map.put("b", new Counted("b"));
    map.put("a", new Counted("a"));
    map.put("c", new Counted("c"));

    EXPECT_FALSE(map.remove("x"));
    EXPECT_EQ(map.size(), 3u);
    EXPECT_TRUE(Counted::destroyed.empty());

    EXPECT_TRUE(map.remove("b"));
    EXPECT_FALSE(map.contains("b"));
    EXPECT_EQ(Counted::destroyed, std::vector<std::string>{"b"});

    map.put("0", new Counted("0"));
    map.clear();
    EXPECT_TRUE(map.empty());
    EXPECT_EQ(Counted::destroyed, (std::vector<std::string>{"b", "0", "a", "c"}));
    EXPECT_EQ(Counted::live, 0);

    // Character values of an owning map are arrays (ASan checks the delete).
    core::CKHashMap<const char*> texts(true, nullptr);
    char* text = new char[4];
    std::strcpy(text, "abc");
    texts.put("t", text);
    texts.put("t", new char[2]());
    EXPECT_TRUE(texts.remove("t"));
    texts.put("u", new char[1]());
    texts.clear();
}

TEST_F(CKHashMapTest, DestroyingAnOwningMapWithoutClearLeavesValuesAlive) {
    Counted* kept = new Counted("kept");
    {
        core::CKHashMap<Counted*> map(true, nullptr);
        map.put("k", kept);
    }
    EXPECT_EQ(Counted::live, 1);
    EXPECT_EQ(kept->mName, "kept");
    delete kept;
}

TEST_F(CKHashMapTest, ValueMapReleasesItsReferences) {
    Shared* first = new Shared;
    core::SmartPtr<Shared> second(new Shared);
    {
        core::CKHashMapValue<core::SmartPtr<Shared>> registry{core::SmartPtr<Shared>()};
        EXPECT_FALSE(registry.ownsValues());
        EXPECT_EQ(registry.get("none"), nullptr);

        registry.put("k", first);
        EXPECT_EQ(first->getRefCount(), 1);
        {
            core::SmartPtr<Shared> got = registry.get("k");
            EXPECT_EQ(got, first);
            EXPECT_EQ(first->getRefCount(), 2);
        }
        EXPECT_EQ(first->getRefCount(), 1);

        // Replacing releases the map's reference: `first` had no other.
        EXPECT_TRUE(registry.put("k", second));
        EXPECT_EQ(Shared::live, 1);
        EXPECT_EQ(second->getRefCount(), 2);

        registry.put("other", second);
        EXPECT_EQ(second->getRefCount(), 3);
        EXPECT_TRUE(registry.remove("other"));
        EXPECT_EQ(second->getRefCount(), 2);
    }
    // The map's destruction releases the references left in it.
    EXPECT_EQ(second->getRefCount(), 1);
    second = nullptr;
    EXPECT_EQ(Shared::live, 0);
}

}  // namespace
