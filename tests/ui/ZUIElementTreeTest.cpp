#include <cstring>
#include <string>

#include "UITreeFixture.h"
#include "ZScript.h"

namespace {

using ZUIElementTreeTest = UITreeFixture;

std::string childNames(ZUIElement* parent) {
    std::string out;
    for (ZUIElement* c = parent->getFirstChildElement(); c; c = c->getNextSiblingElement())
        out += c->getName();
    return out;
}

TEST_F(ZUIElementTreeTest, InitializeBuildsRootAndOrphansRoot) {
    EXPECT_EQ(root()->getWidth(), 768);
    EXPECT_EQ(root()->getHeight(), 1024);
    ZUIElement* orphans = ZUIElement::getOrphansRootElement();
    ASSERT_NE(orphans, nullptr);
    EXPECT_EQ(orphans->getParentElement(), root());
    EXPECT_EQ(orphans->getBlend(), 0);
    ZUIElement* loose = new TestElement(nullptr, "loose");
    EXPECT_EQ(loose->getParentElement(), orphans);
    ZUIElement::cleanupOrphans();
    EXPECT_EQ(orphans->getChildrenCount(), 0);
    EXPECT_EQ(ZUIElement::getTotalElementsCount(), 2);
}

TEST_F(ZUIElementTreeTest, NamesAreFiledAndCut) {
    TestElement* a = new TestElement(root(), "Alpha");
    EXPECT_EQ(ZUIElement::getElementByName("Alpha"), a);
    EXPECT_EQ(ZUIElement::getElementByName("alpha"), nullptr);
    EXPECT_EQ(ZUIElement::getElementByNameNoCase("ALPHA"), a);
    a->setName(nullptr);
    EXPECT_EQ(ZUIElement::getElementByName("Alpha"), nullptr);
    EXPECT_STREQ(a->getName(), "");
    std::string longName(150, 'n');
    a->setName(longName.c_str());
    EXPECT_EQ(std::strlen(a->getName()), 99u);
    EXPECT_EQ(ZUIElement::getElementByName(longName.substr(0, 99).c_str()), a);
    delete a;
    EXPECT_EQ(ZUIElement::getElementByName(longName.substr(0, 99).c_str()), nullptr);
}

TEST_F(ZUIElementTreeTest, IdentifiersMoveBetweenChains) {
    TestElement* a = new TestElement(root(), "a");
    TestElement* b = new TestElement(root(), "b");
    a->setIdentifier(5);
    b->setIdentifier(69);  // same chain as 5
    EXPECT_EQ(ZUIElement::getElementByIdentifier(5), a);
    EXPECT_EQ(ZUIElement::getElementByIdentifier(69), b);
    a->setIdentifier(7);
    EXPECT_EQ(ZUIElement::getElementByIdentifier(5), nullptr);
    EXPECT_EQ(ZUIElement::getElementByIdentifier(7), a);
    delete b;
    EXPECT_EQ(ZUIElement::getElementByIdentifier(69), nullptr);
    EXPECT_EQ(ZUIElement::getElementByIdentifier(7), a);
}

TEST_F(ZUIElementTreeTest, ClassTagsStopAtEight) {
    TestElement* a = new TestElement(root(), "a");
    for (int i = 0; i < 9; i++) a->addClass(("Class" + std::to_string(i)).c_str());
    EXPECT_TRUE(a->isOfClass("Class7"));
    EXPECT_FALSE(a->isOfClass("Class8"));
    EXPECT_STREQ(a->getClassName(0), "Class7");
    EXPECT_STREQ(a->getClassName(7), "Class0");
    EXPECT_EQ(a->getClassName(8), nullptr);
    EXPECT_EQ(a->getClassName(-1), nullptr);
}

TEST_F(ZUIElementTreeTest, SiblingMoves) {
    struct Case {
        const char* name;
        void (*op)(ZUIElement* a, ZUIElement* b, ZUIElement* c, ZUIElement* other);
        const char* order;
    } cases[] = {
        {"toHead", [](ZUIElement*, ZUIElement*, ZUIElement* c, ZUIElement*) { c->moveToHead(); },
         "cab"},
        {"toTail", [](ZUIElement* a, ZUIElement*, ZUIElement*, ZUIElement*) { a->moveToTail(); },
         "bca"},
        {"before",
         [](ZUIElement* a, ZUIElement*, ZUIElement* c, ZUIElement*) { c->moveBeforeSibling(a); },
         "cab"},
        {"after",
         [](ZUIElement* a, ZUIElement* b, ZUIElement*, ZUIElement*) { a->moveAfterSibling(b); },
         "bac"},
        {"swapFar",
         [](ZUIElement* a, ZUIElement*, ZUIElement* c, ZUIElement*) { a->swapWithSibling(c); },
         "cba"},
        {"swapNear",
         [](ZUIElement* a, ZUIElement* b, ZUIElement*, ZUIElement*) { b->swapWithSibling(a); },
         "bac"},
        {"index100",
         [](ZUIElement* a, ZUIElement*, ZUIElement*, ZUIElement*) { a->moveToIndex(100); }, "bca"},
        {"index1", [](ZUIElement*, ZUIElement*, ZUIElement* c, ZUIElement*) { c->moveToIndex(1); },
         "acb"},
        {"otherParent",
         [](ZUIElement* a, ZUIElement*, ZUIElement*, ZUIElement* other) {
             a->moveBeforeSibling(other);
             a->swapWithSibling(other);
         },
         "abc"},
        {"self",
         [](ZUIElement* a, ZUIElement*, ZUIElement*, ZUIElement*) { a->moveAfterSibling(a); },
         "abc"},
    };
    for (const Case& c : cases) {
        ZUIElement* parent = new TestElement(root(), "p");
        ZUIElement* a = new TestElement(parent, "a");
        ZUIElement* b = new TestElement(parent, "b");
        ZUIElement* cc = new TestElement(parent, "c");
        ZUIElement* other = new TestElement(root(), "o");
        c.op(a, b, cc, other);
        EXPECT_EQ(childNames(parent), c.order) << c.name;
        EXPECT_EQ(parent->getChildrenCount(), 3) << c.name;
        EXPECT_EQ(cc->getSiblingIndex(), static_cast<long>(std::string(c.order).find('c')))
            << c.name;
        delete parent;
        delete other;
    }
}

class CountingElement : public TestElement {
public:
    using TestElement::TestElement;
    int childUpdates = 0;
    void handleChildUpdate() override { childUpdates++; }
};

TEST_F(ZUIElementTreeTest, ReparentingMovesLayersAndTellsBothParents) {
    CountingElement* from = new CountingElement(root(), "from");
    CountingElement* to = new CountingElement(root(), "to");
    to->setLayer(3);
    TestElement* child = new TestElement(from, "child");
    TestElement* grandchild = new TestElement(child, "grandchild");
    TestElement* elsewhere = new TestElement(child, "elsewhere");
    elsewhere->setLayer(5);
    from->childUpdates = to->childUpdates = 0;
    child->setParentElement(to);
    EXPECT_EQ(child->getParentElement(), to);
    EXPECT_EQ(from->childUpdates, 1);
    EXPECT_EQ(to->childUpdates, 1);
    EXPECT_EQ(child->getLayer(), 3);
    EXPECT_EQ(grandchild->getLayer(), 3);
    EXPECT_EQ(elsewhere->getLayer(), 5);
    child->setParentElement(nullptr);
    EXPECT_EQ(child->getParentElement(), ZUIElement::getOrphansRootElement());
}

TEST_F(ZUIElementTreeTest, ReparentingIntoTheOwnSubtreeIsRefused) {
    TestElement* a = new TestElement(root(), "a");
    TestElement* b = new TestElement(a, "b");
    TestElement* c = new TestElement(b, "c");
    c->setParentElement(a);  // allowed: moves up
    EXPECT_EQ(c->getParentElement(), a);
    a->setParentElement(b);
    a->setParentElement(a);
    EXPECT_EQ(a->getParentElement(), root());
    EXPECT_EQ(b->getParentElement(), a);
    EXPECT_TRUE(root()->isElementInSubtree(b));
}

TEST_F(ZUIElementTreeTest, DeletingAParentTellsOnlyTheGrandparent) {
    CountingElement* grand = new CountingElement(root(), "grand");
    CountingElement* parent = new CountingElement(grand, "parent");
    new CountingElement(parent, "c1");
    new CountingElement(parent, "c2");
    grand->childUpdates = parent->childUpdates = 0;
    long before = ZUIElement::getTotalElementsCount();
    delete parent;
    EXPECT_EQ(grand->childUpdates, 1);
    EXPECT_EQ(ZUIElement::getTotalElementsCount(), before - 3);
    EXPECT_EQ(ZUIElement::getElementByName("c1"), nullptr);
}

TEST_F(ZUIElementTreeTest, TheLastElementTakesTheBatchAndBoxGraphicWithIt) {
    EXPECT_NE(ZUIElement::getBatch(), nullptr);
    EXPECT_NE(ZUIElement::getBoxGraphic(), nullptr);
    EXPECT_EQ(RecordingLog::liveBatches, 1);
    ZUIElement::cleanup();
    EXPECT_EQ(ZUIElement::getTotalElementsCount(), 0);
    EXPECT_EQ(ZUIElement::getBatch(), nullptr);
    EXPECT_EQ(RecordingLog::liveBatches, 0);
    EXPECT_EQ(RecordingLog::liveGraphics, 0);
    RecordingLog::clear();
    ZUIElement::initialize(window);
    EXPECT_NE(ZUIElement::getBatch(), nullptr);
    EXPECT_EQ(RecordingLog::matching("batch allocate 100 1").size(), 1u);
    ZUIElement::setBatchVertexCount(1000);
    EXPECT_EQ(RecordingLog::matching("batch free").size(), 1u);
    EXPECT_EQ(RecordingLog::matching("batch allocate 1000 1").size(), 1u);
    ZUIElement::setBatchVertexCount(100);
}

TEST_F(ZUIElementTreeTest, CopyFromTemplateTakesTheLayoutOnly) {
    TestElement* t = new TestElement(root(), "t", 5, 6, 40, 20);
    t->setNormalizedCenter(0.25f, 0.5f);
    t->setBlend(0.5f);
    t->setZAngle(30);
    t->setScaleXY(2, 3);
    t->setNormalizedAnchor(0, 1);
    t->setShear(0.1f, 0.2f);
    t->setTouchMargin(4);
    t->setButtonIndex(2);
    t->setIdentifier(9);
    TestElement* e = new TestElement(root(), "e", 1, 2, 0, 0);
    e->copyFromTemplate(t);
    EXPECT_EQ(e->getWidth(), 40);
    EXPECT_EQ(e->getCenterX(), 10);
    EXPECT_EQ(e->getBlend(), 0.5f);
    EXPECT_EQ(e->getZAngle(), 30);
    EXPECT_EQ(e->getScaleY(), 3);
    EXPECT_EQ(e->getAnchorY(), 20);
    EXPECT_EQ(e->getShearY(), 0.2f);
    EXPECT_EQ(e->getTouchMargin(), 4);
    EXPECT_EQ(e->getButtonIndex(), 2);
    EXPECT_EQ(e->getPositionX(), 1);
    EXPECT_STREQ(e->getName(), "e");
    EXPECT_EQ(e->getIdentifier(), 0);
}

class RecordingScript : public ZScript {
public:
    std::function<bool(const char*)> onCall;
    bool execute(const char* text, bool) override {
        RecordingLog::add(std::string("execute ") + text);
        return true;
    }
    bool call(const char* name, long inCount, const char* inFormat, void* in, long,
              const char* outFormat, void* out) override {
        RecordingLog::add(std::string("call ") + name + " " + std::to_string(inCount) + " " +
                          (inFormat ? inFormat : "-"));
        if (outFormat && std::string(outFormat) == "i" && out) *static_cast<long*>(out) = 0;
        (void)in;
        return onCall ? onCall(name) : false;
    }
};

TEST_F(ZUIElementTreeTest, ScriptsAreCalledByTheHooksAndCounted) {
    ZUIElement* plain = new ZUIElement(root());
    EXPECT_FALSE(plain->callScriptVar("x", 0, nullptr, nullptr, 0, nullptr, nullptr));
    RecordingScript script;
    plain->addScript(&script);
    plain->addScript(&script);
    EXPECT_EQ(script.getReferenceCount(), 2);
    RecordingLog::clear();
    plain->onDown();
    EXPECT_EQ(RecordingLog::matching("call onDown 0 -").size(), 2u);
    EXPECT_EQ(ZUIElement::getScriptCallerElement(), nullptr);
    // "onHit" answers through its result integer: the script sets it to 0 and returns true.
    script.onCall = [](const char*) { return true; };
    EXPECT_FALSE(plain->onHit(1, 1));
    script.onCall = nullptr;
    EXPECT_TRUE(plain->onHit(1, 1));
    RecordingLog::clear();
    plain->executeScript("text", false);
    EXPECT_EQ(RecordingLog::matching("execute").size(), 1u);
    plain->removeScript(&script);
    EXPECT_EQ(script.getReferenceCount(), 0);
    EXPECT_FALSE(plain->hasScripts());
}

TEST_F(ZUIElementTreeTest, DeletingAReferencedScriptDetachesItFromTheTree) {
    ZUIElement* a = new ZUIElement(root());
    ZUIElement* b = new ZUIElement(ZUIElement::getOrphansRootElement());
    RecordingScript* script = new RecordingScript();
    a->addScript(script);
    b->addScript(script);
    delete script;
    EXPECT_FALSE(a->hasScripts());
    EXPECT_FALSE(b->hasScripts());
}

TEST_F(ZUIElementTreeTest, AScriptDeletingItsElementStopsTheLoop) {
    ZUIElement* a = new ZUIElement(root());
    RecordingScript first, second;
    first.onCall = [a](const char*) {
        delete a;
        return false;
    };
    a->addScript(&first);
    a->addScript(&second);
    RecordingLog::clear();
    a->callScript("onDown");
    EXPECT_EQ(RecordingLog::matching("call onDown").size(), 1u);
    EXPECT_EQ(first.getReferenceCount(), 0);
    EXPECT_EQ(second.getReferenceCount(), 0);
}

TEST_F(ZUIElementTreeTest, DeletingInsideCallScriptIntKeepsTheCallerPointerSafe) {
    ZUIElement* outer = new ZUIElement(root());
    ZUIElement* inner = new ZUIElement(root());
    RecordingScript outerScript, innerScript;
    innerScript.onCall = [&](const char*) {
        EXPECT_EQ(ZUIElement::getScriptCallerElement(), inner);
        delete outer;
        return false;
    };
    outerScript.onCall = [&](const char*) {
        inner->callScriptInt("nested", 3);
        return false;
    };
    outer->addScript(&outerScript);
    inner->addScript(&innerScript);
    outer->callScriptStr("start", "x");
    EXPECT_EQ(ZUIElement::getScriptCallerElement(), nullptr);
    EXPECT_EQ(RecordingLog::matching("call nested 1 i").size(), 1u);
}

}  // namespace
