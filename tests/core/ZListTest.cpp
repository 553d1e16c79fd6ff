#include "ZList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Node : ZObjectListable {
    explicit Node(int id) : id(id) {}
    int id;
};

// Ids read along next from head and along prev from tail; both walks must agree with count and
// end in null links, or the list is corrupt.
std::vector<int> checkedOrder(const ZList<Node>& list) {
    std::vector<int> forward;
    const Node* last = nullptr;
    for (const Node* n = list.head; n; n = ZList<Node>::nextOf(n)) {
        EXPECT_EQ(n->prev, last) << "node " << n->id;
        forward.push_back(n->id);
        last = n;
        if (forward.size() > 100) break;
    }
    EXPECT_EQ(last, list.tail);

    std::vector<int> backward;
    for (const Node* n = list.tail; n; n = ZList<Node>::prevOf(n)) {
        backward.insert(backward.begin(), n->id);
        if (backward.size() > 100) break;
    }
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(list.count, static_cast<int32_t>(forward.size()));
    return forward;
}

class ZListTest : public ::testing::Test {
protected:
    // a, b, c in the list; spare out of it.
    void SetUp() override {
        list.addToTail(&a);
        list.addToTail(&b);
        list.addToTail(&c);
    }

    Node* byId(int id) {
        for (Node* n : {&a, &b, &c}) {
            if (n->id == id) return n;
        }
        return nullptr;
    }

    Node a{1}, b{2}, c{3}, spare{9};
    ZList<Node> list;
};

TEST(ZListEmptyTest, NewListIsEmpty) {
    ZList<Node> list;
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    EXPECT_EQ(list.next, nullptr);
    EXPECT_EQ(list.prev, nullptr);
}

TEST(ZListEmptyTest, AddToHeadOfEmptyListSetsHeadAndTail) {
    ZList<Node> list;
    Node n{1};
    n.next = n.prev = &n;  // stale links from an earlier list must not survive
    list.addToHead(&n);
    EXPECT_EQ(list.head, &n);
    EXPECT_EQ(list.tail, &n);
    EXPECT_EQ(checkedOrder(list), (std::vector<int>{1}));
}

TEST(ZListEmptyTest, RemovingOnlyNodeEmptiesList) {
    ZList<Node> list;
    Node n{1};
    list.addToTail(&n);
    list.remove(&n);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    EXPECT_EQ(list.count, 0);
}

TEST_F(ZListTest, AddToTailAppendsAndAddToHeadPrepends) {
    EXPECT_EQ(checkedOrder(list), (std::vector<int>{1, 2, 3}));
    list.addToHead(&spare);
    EXPECT_EQ(checkedOrder(list), (std::vector<int>{9, 1, 2, 3}));
}

TEST_F(ZListTest, InsertBeforeAndAfterEveryPosition) {
    struct Case {
        bool before;
        int ref;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {true, 1, {9, 1, 2, 3}},  {true, 2, {1, 9, 2, 3}},  {true, 3, {1, 2, 9, 3}},
        {false, 1, {1, 9, 2, 3}}, {false, 2, {1, 2, 9, 3}}, {false, 3, {1, 2, 3, 9}},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(::testing::Message() << (tc.before ? "before " : "after ") << tc.ref);
        if (tc.before) {
            list.insertBefore(&spare, byId(tc.ref));
        } else {
            list.insertAfter(&spare, byId(tc.ref));
        }
        EXPECT_EQ(checkedOrder(list), tc.expected);
        list.remove(&spare);
        EXPECT_EQ(checkedOrder(list), (std::vector<int>{1, 2, 3}));
    }
}

TEST(ZListRemoveTest, RemoveEveryPosition) {
    struct Case {
        int id;
        std::vector<int> expected;
    };
    const Case cases[] = {{1, {2, 3}}, {2, {1, 3}}, {3, {1, 2}}};
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.id);
        ZList<Node> fresh;
        Node x{1}, y{2}, z{3};
        Node* nodes[] = {&x, &y, &z};
        for (Node* n : nodes) fresh.addToTail(n);
        fresh.remove(nodes[tc.id - 1]);
        EXPECT_EQ(checkedOrder(fresh), tc.expected);
    }
}

TEST_F(ZListTest, RemovingHeadOfTwoLeavesOtherAsHeadAndTail) {
    list.remove(&c);
    list.remove(&a);
    EXPECT_EQ(list.head, &b);
    EXPECT_EQ(list.tail, &b);
    EXPECT_EQ(checkedOrder(list), (std::vector<int>{2}));
}

TEST_F(ZListTest, RemovedNodeKeepsItsLinksSoAWalkCanStepOn) {
    list.remove(&b);
    EXPECT_EQ(b.prev, &a);
    EXPECT_EQ(b.next, &c);

    // Hand walk that removes every node it stands on after fetching next.
    std::vector<int> seen;
    for (Node* n = list.head; n;) {
        Node* following = ZList<Node>::nextOf(n);
        seen.push_back(n->id);
        list.remove(n);
        n = following;
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 3}));
    EXPECT_EQ(checkedOrder(list), std::vector<int>{});
}

TEST_F(ZListTest, RangeForAllowsDeletingTheCurrentNode) {
    ZList<Node> owned;
    for (int id = 1; id <= 4; id++) owned.addToTail(new Node(id));
    std::vector<int> seen;
    for (Node* n : owned) {
        seen.push_back(n->id);
        owned.remove(n);
        delete n;  // ASan flags the loop if it still reads the freed node
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(owned.count, 0);
    EXPECT_EQ(owned.head, nullptr);
}

TEST_F(ZListTest, ReorderByRemoveAndInsert) {
    // Moving a node to the front and to the back, as sibling reordering does.
    list.remove(&c);
    list.insertBefore(&c, &a);
    EXPECT_EQ(checkedOrder(list), (std::vector<int>{3, 1, 2}));
    list.remove(&c);
    list.insertAfter(&c, &b);
    EXPECT_EQ(checkedOrder(list), (std::vector<int>{1, 2, 3}));
}

TEST(ZListNestingTest, ListIsANodeOfAnotherList) {
    ZList<ZList<Node>> outer;
    ZList<Node> first, second;
    Node n{1};
    first.addToTail(&n);
    outer.addToTail(&first);
    outer.addToTail(&second);
    EXPECT_EQ(outer.count, 2);
    EXPECT_EQ(ZList<ZList<Node>>::nextOf(outer.head), &second);
    EXPECT_EQ(second.prev, &first);
    // The outer links are the list's own, not its nodes'.
    EXPECT_EQ(n.next, nullptr);
    EXPECT_EQ(first.head, &n);
}

}  // namespace
