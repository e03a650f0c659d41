#include "core/CKHashMap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/SmartPtr.h"

namespace {

// Logs its destruction by name.
struct Counted {
    static std::vector<std::string> destroyed;
    explicit Counted(const char* name) : mName(name) {}
    virtual ~Counted() { destroyed.push_back(mName); }
    std::string mName;
};
std::vector<std::string> Counted::destroyed;

struct Shared : core::IRefCount {};

class CKHashMapTest : public ::testing::Test {
  protected:
    void SetUp() override { Counted::destroyed.clear(); }
};

TEST_F(CKHashMapTest, KeysAreOwnCopiesInUnsignedByteOrder) {
    static const char* const kMissing = "missing";
    core::CKHashMap<const char*> map(false, kMissing);
    for (const char* key : {"b", "a", "\xC3\xA9", "B", "ab", "", "id", "ID"}) {
        EXPECT_FALSE(map.put(key, key));
    }
    std::vector<std::string> keys;
    for (const auto& entry : map) {
        keys.push_back(entry.first);
    }
    // Bytes from 0x80 up sort after every ASCII byte; "" before everything.
    EXPECT_EQ(keys, (std::vector<std::string>{"", "B", "ID", "a", "ab", "b", "id", "\xC3\xA9"}));
    EXPECT_STREQ(map.get("ID"), "ID");
    EXPECT_EQ(map.get("Id"), kMissing);
    EXPECT_EQ(map.get("i"), kMissing);

    // The caller's key buffer may change after put.
    char key[] = "name";
    map.put(key, "value");
    std::strcpy(key, "xxxx");
    EXPECT_STREQ(map.get("name"), "value");
    EXPECT_FALSE(map.contains("xxxx"));
}

TEST_F(CKHashMapTest, PutReplacesAndDisposesTheOldValueOnlyInOwningMaps) {
    core::CKHashMap<Counted*> owning(true, nullptr);
    Counted* second = new Counted("second");
    EXPECT_FALSE(owning.put("k", new Counted("first")));
    EXPECT_TRUE(owning.put("k", second));
    EXPECT_EQ(Counted::destroyed, std::vector<std::string>{"first"});
    EXPECT_EQ(owning.get("k"), second);
    // Storing the value that is already there keeps it.
    EXPECT_TRUE(owning.put("k", second));
    EXPECT_EQ(Counted::destroyed.size(), 1u);

    core::CKHashMap<Counted*> borrowing(false, nullptr);
    Counted a("a");
    Counted b("b");
    borrowing.put("k", &a);
    EXPECT_TRUE(borrowing.put("k", &b));
    EXPECT_EQ(Counted::destroyed.size(), 1u);
    EXPECT_EQ(borrowing.size(), 1u);
    owning.clear();
}

TEST_F(CKHashMapTest, RemoveAndClearDisposeOwnedValuesInKeyOrder) {
    core::CKHashMap<Counted*> map(true, nullptr);
    map.clear();
    for (const char* name : {"b", "a", "c"}) {
        map.put(name, new Counted(name));
    }
    EXPECT_FALSE(map.remove("x"));
    EXPECT_EQ(map.size(), 3u);
    EXPECT_TRUE(map.remove("b"));
    EXPECT_EQ(Counted::destroyed, std::vector<std::string>{"b"});
    map.put("0", new Counted("0"));
    map.clear();
    EXPECT_TRUE(map.empty());
    EXPECT_EQ(Counted::destroyed, (std::vector<std::string>{"b", "0", "a", "c"}));

    // Character values are arrays: ASan checks that they go with delete[].
    core::CKHashMap<const char*> texts(true, nullptr);
    texts.put("t", new char[4]());
    texts.put("t", new char[2]());
    EXPECT_TRUE(texts.remove("t"));
    texts.put("u", new char[1]());
    texts.clear();
}

TEST_F(CKHashMapTest, DestroyingAnOwningMapWithoutClearLeavesValuesAlive) {
    Counted* kept = new Counted("kept");
    { core::CKHashMap<Counted*>(true, nullptr).put("k", kept); }
    EXPECT_TRUE(Counted::destroyed.empty());
    delete kept;
}

TEST_F(CKHashMapTest, ValueMapReleasesItsReferences) {
    core::SmartPtr<Shared> first(new Shared);
    core::SmartPtr<Shared> second(new Shared);
    {
        core::CKHashMapValue<core::SmartPtr<Shared>> registry{core::SmartPtr<Shared>()};
        EXPECT_EQ(registry.get("none"), nullptr);
        registry.put("k", first);
        EXPECT_EQ(registry.get("k"), first);
        EXPECT_EQ(first->getRefCount(), 2);
        EXPECT_TRUE(registry.put("k", second));
        EXPECT_EQ(first->getRefCount(), 1);
        registry.put("other", second);
        EXPECT_TRUE(registry.remove("other"));
        EXPECT_EQ(second->getRefCount(), 2);
    }
    EXPECT_EQ(second->getRefCount(), 1);
}

}  // namespace
