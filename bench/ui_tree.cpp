// A tree of 10,000 elements in 100 groups on a fake window, with the recording renderer of the
// tests. Each frame moves every group by a pixel, so every element's footprint is rebuilt.
// Prints per frame the time of moveAll, of hit-testing one pointer event through the whole
// tree, and of blitAll; last, the ratio of moveAll + hit test to the floor: the same matrices,
// corners and rectangles computed over a flat array and the same point tested against every
// rectangle (target: at most 2).
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "RecordingLog.h"
#include "RecordingWindow.h"
#include "ZInput.h"
#include "ZMatrix.h"
#include "ZUIElement.h"

namespace {

const int kGroups = 100;
const int kPerGroup = 100;
const int kWarmUpFrames = 20;
const int kFrames = 400;
// The tree and the floor alternate in blocks, so that drift of the machine's load hits both.
const int kBlock = 50;

double timed(const std::function<void()>& run) {
    auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

struct Placed {
    float x, y, w, h;
};

// The floor: what moving and hit-testing the tree must compute at the least, over plain arrays.
class Flat {
public:
    Flat(const std::vector<Placed>& groups, const std::vector<Placed>& children)
        : m_groups(groups),
          m_children(children),
          m_groupMatrix(groups.size()),
          m_childRect(children.size()),
          m_groupRect(groups.size()) {}

    static ZMatrix local(const Placed& p) {
        float ax = p.w * 0.5f, ay = p.h * 0.5f;
        ZMatrix identity;
        ZMatrix m = ZMatrix::applyTranslation2d(p.x + ax, -(p.y + ay), identity);
        return ZMatrix::applyTranslation2d(-ax, ay, m);
    }
    static ZRectangle box(const ZMatrix& m, float w, float h) {
        ZVector2 corners[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
        ZRectangle r = {1e30f, 1e30f, -1e30f, -1e30f};
        for (const ZVector2& c : corners) {
            ZVector2 p = m.transform2(ZVector2{c.x, -c.y});
            r.x1 = std::min(r.x1, p.x);
            r.y1 = std::min(r.y1, -p.y);
            r.x2 = std::max(r.x2, p.x);
            r.y2 = std::max(r.y2, -p.y);
        }
        return r;
    }
    void move(float shift) {
        for (size_t g = 0; g < m_groups.size(); g++) {
            Placed p = m_groups[g];
            p.x += shift;
            m_groupMatrix[g] = local(p);
            m_groupRect[g] = box(m_groupMatrix[g], p.w, p.h);
        }
        for (size_t i = 0; i < m_children.size(); i++) {
            size_t g = i / kPerGroup;
            ZMatrix abs = local(m_children[i]) * m_groupMatrix[g];
            m_childRect[i] = box(abs, m_children[i].w, m_children[i].h);
            ZRectangle& t = m_groupRect[g];
            const ZRectangle& r = m_childRect[i];
            t.x1 = std::min(t.x1, r.x1);
            t.y1 = std::min(t.y1, r.y1);
            t.x2 = std::max(t.x2, r.x2);
            t.y2 = std::max(t.y2, r.y2);
        }
    }
    long hit(float x, float y) {
        long found = -1;
        for (size_t i = 0; i < m_childRect.size(); i++) {
            const ZRectangle& r = m_childRect[i];
            if (r.x1 <= x && x < r.x2 && r.y1 <= y && y < r.y2) found = static_cast<long>(i);
        }
        if (found >= 0) {
            ZMatrix inverse =
                (local(m_children[found]) * m_groupMatrix[found / kPerGroup]).inverse();
            ZVector2 p = inverse.transform2(ZVector2{x, -y});
            if (p.x < 0) found = -1;
        }
        return found;
    }

private:
    std::vector<Placed> m_groups, m_children;
    std::vector<ZMatrix> m_groupMatrix;
    std::vector<ZRectangle> m_childRect, m_groupRect;
};

}  // namespace

int main(int argc, char**) {
    if (argc > 1) fprintf(stderr, "bench_ui_tree: takes no options; the arguments are ignored\n");
    RecordingLog::install();
    RecordingWindow window;
    ZUIElement::initialize(&window);
    ZUIElement* root = ZUIElement::getRootElement();

    std::vector<Placed> groups, children;
    std::vector<ZUIElement*> groupElements;
    const float gw = 768.0f / 10, gh = 1024.0f / 10;
    for (int g = 0; g < kGroups; g++) {
        Placed p = {(g % 10) * gw, (g / 10) * gh, gw - 2, gh - 2};
        groups.push_back(p);
        ZUIElement* group = new ZUIElement(root);
        group->setPosition(p.x, p.y);
        group->setSize(p.w, p.h);
        groupElements.push_back(group);
        for (int c = 0; c < kPerGroup; c++) {
            Placed q = {(c % 10) * (gw / 10), (c / 10) * (gh / 10), gw / 10 - 1, gh / 10 - 1};
            children.push_back(q);
            ZUIElement* child = new ZUIElement(group);
            child->setPosition(q.x, q.y);
            child->setSize(q.w, q.h);
            child->enableElementInput(true);
        }
    }
    Flat flat(groups, children);

    ZEvent pointer = {};
    pointer.type = kZEventMouseMove;
    pointer.x = 500;
    pointer.y = 700;
    long frame = 0;
    auto shiftOf = [](long f) { return static_cast<float>(f % 2); };
    auto treeMove = [&] {
        float shift = shiftOf(frame++);
        for (int g = 0; g < kGroups; g++)
            groupElements[g]->setPosition(groups[g].x + shift, groups[g].y);
        ZUIElement::moveAll();
    };
    auto treeHit = [&] {
        pointer.x = 500 + frame % 3;
        ZUIElement::dispatchEvent(&pointer);
    };
    auto treeBlit = [&] {
        RecordingLog::clear();
        ZUIElement::blitAll(0);
    };
    volatile long sink = 0;
    auto flatMove = [&] { flat.move(shiftOf(frame++)); };
    auto flatHit = [&] { sink = sink + flat.hit(500.0f + frame % 3, 700); };

    for (int i = 0; i < kWarmUpFrames; i++) {
        treeMove();
        treeHit();
        treeBlit();
        flatMove();
        flatHit();
    }
    double moveTotal = 0, hitTotal = 0, blitTotal = 0, flatMoveTotal = 0, flatHitTotal = 0;
    for (int block = 0; block < kFrames / kBlock; block++) {
        moveTotal += timed([&] {
            for (int i = 0; i < kBlock; i++) treeMove();
        });
        hitTotal += timed([&] {
            for (int i = 0; i < kBlock; i++) treeHit();
        });
        blitTotal += timed([&] {
            for (int i = 0; i < kBlock; i++) treeBlit();
        });
        flatMoveTotal += timed([&] {
            for (int i = 0; i < kBlock; i++) flatMove();
        });
        flatHitTotal += timed([&] {
            for (int i = 0; i < kBlock; i++) flatHit();
        });
    }
    double moveMs = moveTotal / kFrames, hitMs = hitTotal / kFrames, blitMs = blitTotal / kFrames;
    double floorMs = (flatMoveTotal + flatHitTotal) / kFrames;
    printf("%ld elements in %d groups, %d frames after %d\n", ZUIElement::getTotalElementsCount(),
           kGroups, kFrames, kWarmUpFrames);
    printf("moveAll: %.3f ms/frame (%ld elements updated)\n", moveMs,
           ZUIElement::getUpdatedElementsCount());
    printf("hit test of one pointer event: %.3f ms/frame\n", hitMs);
    printf("blitAll with the recording renderer: %.3f ms/frame (%ld elements drawn)\n", blitMs,
           ZUIElement::getDrawnElementsCount());
    printf("floor (flat transforms, rectangles and point test): %.3f ms/frame\n", floorMs);
    printf("moveAll + hit test / floor: %.3fx\n", floorMs > 0 ? (moveMs + hitMs) / floorMs : 0.0);
    ZUIElement::cleanup();
    RecordingLog::uninstall();
    return 0;
}
