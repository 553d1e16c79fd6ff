#include "ZHashTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "ZHashTableLong.h"
#include "ZList.h"

namespace {

struct Entry : ZObjectHashable {
    explicit Entry(const char* key) { setHashKey(key); }
};

struct LongEntry : ZObjectHashableLong {
    explicit LongEntry(long key) { setHashKey(key); }
};

template <class Table>
std::vector<const void*> snapshot(const Table& table) {
    return std::vector<const void*>(table.buckets, table.buckets + 64);
}

// Entries of one bucket's chain, head first.
std::vector<const ZObjectHashable*> chain(const ZHashTable& table, long bucket) {
    std::vector<const ZObjectHashable*> entries;
    for (const ZObjectHashable* e = table.buckets[bucket]; e && entries.size() < 10;
         e = e->hashNext) {
        entries.push_back(e);
    }
    return entries;
}

using Chain = std::vector<const ZObjectHashable*>;

TEST(ZHashTableComputeTest, BucketIsLowSixBitsOfCaseFoldedHash) {
    struct Case {
        const char* key;
        long bucket;
    };
    const Case cases[] = {
        {"", 0},
        {"a", 33},
        {"abc", 34},
        {"ABC", 34},
        {"Z", 58},  // last folded letter
        {"@", 0},   // just below 'A': not folded
        {"[", 27},  // just above 'Z': not folded
        {"\xe9"
         "a",
         24},                                      // high bytes enter unchanged
        {"data/graphics/background_sky.png", 42},  // wraps modulo 2^32
        {nullptr, 0},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.key ? tc.key : "(null)");
        EXPECT_EQ(ZHashTable::hashCompute(tc.key), tc.bucket);
    }
}

class ZHashTableTest : public ::testing::Test {
protected:
    ZHashTable table;
    // "abc", "ac" and "ce" share bucket 34.
    Entry abc{"abc"}, ac{"ac"}, ce{"ce"};
};

TEST_F(ZHashTableTest, NewTableIsEmptyAndEntriesUninserted) {
    EXPECT_EQ(snapshot(table), std::vector<const void*>(64, nullptr));
    Entry fresh{nullptr};
    EXPECT_EQ(fresh.hashKey, nullptr);
    EXPECT_EQ(fresh.hashNext, nullptr);
    EXPECT_EQ(fresh.hashBucket, -1);
}

TEST_F(ZHashTableTest, InsertPushesAtChainHeadAndRecordsBucket) {
    table.hashInsert(&abc);
    table.hashInsert(&ac);
    table.hashInsert(&ce);
    EXPECT_EQ(chain(table, 34), (Chain{&ce, &ac, &abc}));
    for (Entry* e : {&abc, &ac, &ce}) {
        EXPECT_EQ(e->hashBucket, 34);
        EXPECT_EQ(table.hashFind(e->hashKey), e);
    }
}

TEST_F(ZHashTableTest, ExactAndCaseInsensitiveLookups) {
    Entry upper{"ABC"};
    table.hashInsert(&upper);
    table.hashInsert(&ac);
    struct Case {
        const char* key;
        Entry* exact;
        Entry* noCase;
    };
    const Case cases[] = {
        {"ABC", &upper, &upper},    {"abc", nullptr, &upper},
        {"aBc", nullptr, &upper},   {"ab", nullptr, nullptr},  // prefix of a stored key
        {"abcd", nullptr, nullptr},                            // stored key is a prefix
        {"ce", nullptr, nullptr},                              // same bucket, not stored
        {"AC", nullptr, &ac},       {nullptr, nullptr, nullptr},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.key ? tc.key : "(null)");
        EXPECT_EQ(table.hashFind(tc.key), tc.exact);
        EXPECT_EQ(table.hashFindNoCase(tc.key), tc.noCase);
    }
}

TEST_F(ZHashTableTest, NoCaseLookupFoldsOnlyAscii) {
    Entry latin{"\xc9t\xc9"};  // upper-case E acute in Latin-1
    table.hashInsert(&latin);
    EXPECT_EQ(table.hashFindNoCase("\xc9T\xc9"), &latin);
    EXPECT_EQ(table.hashFindNoCase("\xe9t\xe9"), nullptr);
}

TEST_F(ZHashTableTest, DuplicateKeysFindNewestThenOlderAfterRemoval) {
    Entry first{"key"}, second{"key"};
    table.hashInsert(&first);
    table.hashInsert(&second);
    EXPECT_EQ(table.hashFind("key"), &second);
    EXPECT_EQ(table.hashFindNoCase("KEY"), &second);
    table.hashRemove(&second);
    EXPECT_EQ(table.hashFind("key"), &first);
    table.hashRemove(&first);
    EXPECT_EQ(table.hashFind("key"), nullptr);
    EXPECT_EQ(snapshot(table), std::vector<const void*>(64, nullptr));
}

TEST_F(ZHashTableTest, InsertAfterAppendsAtChainEnd) {
    Entry older{"abc"};
    table.hashInsertAfter(&abc);  // into an empty bucket
    table.hashInsert(&ac);
    older.hashNext = &ce;  // a stale link must not survive the append
    table.hashInsertAfter(&older);
    EXPECT_EQ(chain(table, 34), (Chain{&ac, &abc, &older}));
    EXPECT_EQ(older.hashBucket, 34);
    EXPECT_EQ(older.hashNext, nullptr);
    EXPECT_EQ(table.hashFind("abc"), &abc);
}

TEST_F(ZHashTableTest, RemoveUnlinksFromAnyChainPosition) {
    for (Entry* removed : {&ce, &ac, &abc}) {  // head, middle, tail of the chain
        SCOPED_TRACE(removed->hashKey);
        ZHashTable t;
        Entry* entries[] = {&abc, &ac, &ce};
        for (Entry* e : entries) t.hashInsert(e);
        t.hashRemove(removed);
        EXPECT_EQ(removed->hashNext, nullptr);
        EXPECT_EQ(removed->hashBucket, 34);
        EXPECT_EQ(t.hashFind(removed->hashKey), nullptr);
        for (Entry* e : entries) {
            if (e != removed) {
                EXPECT_EQ(t.hashFind(e->hashKey), e);
            }
        }
        EXPECT_EQ(chain(t, 34).size(), 2u);
    }
}

TEST_F(ZHashTableTest, RemoveUsesBucketOfInsertionNotCurrentKey) {
    Entry renamed{"alpha"};  // bucket 30; "beta" is bucket 48
    table.hashInsert(&renamed);
    renamed.setHashKey("beta");
    EXPECT_EQ(table.hashFind("beta"), nullptr);
    table.hashRemove(&renamed);
    EXPECT_EQ(table.buckets[30], nullptr);
}

TEST_F(ZHashTableTest, RemoveOfEntryNotInTableLeavesTableUnchanged) {
    table.hashInsert(&abc);
    table.hashInsert(&ac);
    table.hashRemove(&ac);
    const std::vector<const void*> before = snapshot(table);

    Entry neverInserted{"abc"};  // bucket -1: must not index outside the table
    table.hashRemove(&neverInserted);
    table.hashRemove(&ac);  // already removed
    table.hashRemove(&ce);

    EXPECT_EQ(snapshot(table), before);
    EXPECT_EQ(chain(table, 34), (Chain{&abc}));
    EXPECT_EQ(abc.hashNext, nullptr);
}

TEST_F(ZHashTableTest, NullKeyEntryDoesNotBreakLookups) {
    Entry unnamed{nullptr};
    Entry empty{""};
    table.hashInsert(&unnamed);  // lands in bucket 0 with "" and "@"
    table.hashInsert(&empty);
    EXPECT_EQ(unnamed.hashBucket, 0);
    EXPECT_EQ(table.hashFind(""), &empty);
    EXPECT_EQ(table.hashFind("@"), nullptr);
    EXPECT_EQ(table.hashFindNoCase("@"), nullptr);
}

TEST_F(ZHashTableTest, ListAndTableLinksAreIndependent) {
    // Caches keep each entry in a list and a table at once.
    ZList<Entry> list;
    for (Entry* e : {&abc, &ac, &ce}) {
        list.addToTail(e);
        table.hashInsert(e);
    }
    table.hashRemove(&ac);
    EXPECT_EQ(ZList<Entry>::nextOf(&abc), &ac);
    EXPECT_EQ(ZList<Entry>::nextOf(&ac), &ce);
    list.remove(&ce);
    EXPECT_EQ(table.hashFind("ce"), &ce);
    EXPECT_EQ(table.hashFind("abc"), &abc);
}

TEST(ZHashTableLongTest, BucketIsKeyLowSixBits) {
    struct Case {
        long key;
        long bucket;
    };
    const Case cases[] = {
        {0, 0},   {1, 1},   {63, 63},  {64, 0},       {65, 1},
        {-1, 63}, {-64, 0}, {-65, 63}, {LONG_MIN, 0}, {LONG_MAX, 63},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.key);
        ZHashTableLong table;
        LongEntry e{tc.key};
        table.hashInsert(&e);
        EXPECT_EQ(e.hashBucket, tc.bucket);
        EXPECT_EQ(table.buckets[tc.bucket], &e);
        EXPECT_EQ(table.hashFind(tc.key), &e);
    }
}

TEST(ZHashTableLongTest, SharedBucketLookupAndRemoval) {
    ZHashTableLong table;
    LongEntry one{1}, sixtyFive{65}, minusOne{-1}, oneAgain{1};
    for (LongEntry* e : {&one, &sixtyFive, &minusOne, &oneAgain}) table.hashInsert(e);
    EXPECT_EQ(one.hashBucket, sixtyFive.hashBucket);
    EXPECT_EQ(minusOne.hashBucket, 63);
    EXPECT_EQ(table.hashFind(65), &sixtyFive);
    EXPECT_EQ(table.hashFind(1), &oneAgain);
    EXPECT_EQ(table.hashFind(129), nullptr);

    table.hashRemove(&oneAgain);
    EXPECT_EQ(oneAgain.hashNext, nullptr);
    EXPECT_EQ(table.hashFind(1), &one);
    EXPECT_EQ(table.hashFind(65), &sixtyFive);

    const std::vector<const void*> before = snapshot(table);
    LongEntry neverInserted{-1};  // key -1 but bucket -1
    table.hashRemove(&neverInserted);
    table.hashRemove(&oneAgain);
    EXPECT_EQ(snapshot(table), before);
    EXPECT_EQ(table.hashFind(-1), &minusOne);
}

TEST(ZHashTableLongTest, RemoveUsesBucketOfInsertion) {
    ZHashTableLong table;
    LongEntry e{5};
    table.hashInsert(&e);
    e.setHashKey(6);
    table.hashRemove(&e);
    EXPECT_EQ(table.buckets[5], nullptr);
}

}  // namespace
