// CPLXDblList: the cursor, tags, equality and deep copies with each node class.
#include <gtest/gtest.h>

#include "plx_core_test_util.h"
#include "plx_dbllist.h"
#include "plx_wchar_string.h"

namespace {

// A record with equality only, as registry value records have.
struct Record {
    int id;
    bool operator==(const Record& other) const { return id == other.id; }
};

// Counts live instances so that ownership can be checked.
struct Tracked {
    static int live;
    int value;
    explicit Tracked(int v) : value(v) { ++live; }
    Tracked(const Tracked& other) : value(other.value) { ++live; }
    Tracked& operator=(const Tracked&) = default;
    ~Tracked() { --live; }
    bool operator==(const Tracked& other) const { return value == other.value; }
    bool operator<(const Tracked& other) const { return value < other.value; }
};
int Tracked::live = 0;

enum Location { locA = 1, locB = 2, locC = 4 };

typedef CPLXDblList<CPLXWCharString> StringList;

std::vector<std::string> texts(StringList& list) {
    std::vector<std::string> result;
    if (list.getCount() == 0) {
        return result;
    }
    list.moveFirst();
    do {
        CPLXWCharString text;
        EXPECT_TRUE(list.getCurrent(text));
        result.push_back(plxText(text));
    } while (list.moveNext());
    return result;
}

TEST(DblListTest, CursorStartsOnTheFirstNodeAndStopsAtTheTail) {
    StringList list;
    CPLXWCharString out;
    EXPECT_FALSE(list.getCurrent(out));
    EXPECT_FALSE(list.moveNext());
    EXPECT_EQ(list.getCurrentPointer(), nullptr);

    EXPECT_TRUE(list.add(plxStr("one")));
    EXPECT_TRUE(list.add(plxStr("two"), 7));
    EXPECT_EQ(list.getCount(), 2u);
    ASSERT_TRUE(list.getCurrent(out));
    EXPECT_EQ(plxText(out), "one");
    EXPECT_TRUE(list.moveNext());
    EXPECT_EQ(plxText(*list.getCurrentPointer()), "two");
    EXPECT_EQ(list.getCurrentTag(), 7);
    EXPECT_FALSE(list.moveNext());
    EXPECT_EQ(plxText(*list.getCurrentPointer()), "two");

    EXPECT_TRUE(list.setCurrent(plxStr("deux")));
    EXPECT_EQ(texts(list), (std::vector<std::string>{"one", "deux"}));
}

TEST(DblListTest, FindTagLeavesTheCursorOnTheTailWhenMissing) {
    StringList list;
    EXPECT_FALSE(list.findTag(0));
    list.add(plxStr("a"), 0);
    list.add(plxStr("b"), 1);
    list.add(plxStr("c"), 2);
    EXPECT_FALSE(list.findTag(5));
    EXPECT_EQ(plxText(*list.getCurrentPointer()), "c");
    EXPECT_TRUE(list.findTag(1));
    EXPECT_EQ(plxText(*list.getCurrentPointer()), "b");
}

TEST(DblListTest, RemoveAllEmptiesTheList) {
    StringList list;
    EXPECT_TRUE(list.removeAll());
    list.add(plxStr("a"));
    list.add(plxStr("b"));
    EXPECT_TRUE(list.removeAll());
    EXPECT_EQ(list.getCount(), 0u);
    CPLXWCharString out;
    EXPECT_FALSE(list.getCurrent(out));
    EXPECT_TRUE(list.add(plxStr("c")));
    EXPECT_EQ(texts(list), (std::vector<std::string>{"c"}));
}

TEST(DblListTest, EqualityComparesTagsAndElementsInOrder) {
    StringList a;
    StringList b;
    EXPECT_TRUE(a == b);
    a.add(plxStr("x"), 0);
    a.add(plxStr("y"), 1);
    b.add(plxStr("x"), 0);
    EXPECT_FALSE(a == b);
    b.add(plxStr("y"), 2);
    EXPECT_FALSE(a == b);
    StringList c(a);
    EXPECT_TRUE(a == c);
    c.setCurrent(plxStr("z"));
    EXPECT_TRUE(a != c);
}

TEST(DblListTest, ObjectNodesOfRecordsWithoutAnOrder) {
    CPLXDblList<Record> list;
    EXPECT_TRUE(list.add(Record{3}, 1));
    CPLXObjNode<Record> node(Record{3});
    EXPECT_TRUE(node == Record{3});
    EXPECT_FALSE(node < Record{4});
    EXPECT_FALSE(node > Record{2});
    CPLXObjNode<CPLXWCharString> text(plxStr("b"));
    EXPECT_TRUE(text > plxStr("a"));
    EXPECT_FALSE(text < plxStr("a"));
    CPLXDblList<Record> copy;
    EXPECT_TRUE(copy.copyFrom(list));
    EXPECT_TRUE(copy == list);
}

TEST(DblListTest, CopiesOfPointerNodesOwnTheirElements) {
    Tracked::live = 0;
    {
        CPLXDblList<Tracked, CPLXPtrNode<Tracked>> copy;
        {
            CPLXDblList<Tracked, CPLXPtrNode<Tracked>> source;
            EXPECT_TRUE(source.addPointer(new Tracked(1)));
            EXPECT_TRUE(source.addPointer(new Tracked(2)));
            Tracked three(3);
            EXPECT_TRUE(source.add(&three, 9));  // stores a copy
            EXPECT_EQ(Tracked::live, 4);
            copy = source;
            EXPECT_EQ(Tracked::live, 7);
            EXPECT_TRUE(copy == source);
            source.moveFirst();
            copy.moveFirst();
            EXPECT_NE(source.getCurrentPointer(), copy.getCurrentPointer());
        }
        EXPECT_EQ(Tracked::live, 3);
        copy.moveFirst();
        EXPECT_EQ(copy.getCurrentPointer()->value, 1);
        EXPECT_TRUE(copy.findTag(9));
        Tracked out(0);
        EXPECT_TRUE(copy.getCurrent(out));
        EXPECT_EQ(out.value, 3);
    }
    EXPECT_EQ(Tracked::live, 0);

    CPLXPtrNode<Tracked> node(new Tracked(5));
    Tracked six(6);
    EXPECT_TRUE(node.isPointerNode());
    EXPECT_TRUE(node < &six);
    EXPECT_FALSE(node > &six);
}

TEST(DblListTest, ValueNodes) {
    CPLXDblList<Location, CPLXStdNode<Location>> list;
    EXPECT_TRUE(list.add(locB, 0));
    EXPECT_TRUE(list.add(locC, 1));
    EXPECT_EQ(list.getCurrentPointer(), locB);
    Location out = locA;
    EXPECT_TRUE(list.moveNext());
    EXPECT_TRUE(list.getCurrent(out));
    EXPECT_EQ(out, locC);
    CPLXDblList<Location, CPLXStdNode<Location>> copy(list);
    EXPECT_TRUE(copy == list);
    CPLXStdNode<Location> node(locB);
    EXPECT_FALSE(node.isPointerNode());
    EXPECT_TRUE(node < locC);
}

}  // namespace
