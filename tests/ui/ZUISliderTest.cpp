#include <string>
#include <vector>

#include "UITreeFixture.h"
#include "ZUIButton.h"
#include "ZUISlider.h"

// The slider driven by scripted drags and presses, as a plain slider and as a scroll bar.
namespace {

class ZUISliderTest : public UITreeFixture {
public:
    std::vector<long> reports;
    ZUISlider* slider = nullptr;

    void SetUp() override {
        UITreeFixture::SetUp();
        onMessage = [this](ZUIMessage* m) {
            if ((m->type >> 8) == (ZUISlider::kMsgValueChanged >> 8))
                reports.push_back(m->type & 0xff);
        };
        slider = new ZUISlider(root());
        slider->setPosition(0, 0);
        slider->setSize(220, 20);
        slider->setButtonGraphic(ZUIElementStateNormal, nullptr, 0, 0, 20, 20);
        slider->updateButtonSize(ZUIElementStateNormal);
    }
    long changes() const {
        long n = 0;
        for (long r : reports) n += r == 1;
        return n;
    }
    void tick(double ms) {
        window->frameTime = ms;
        slider->move();
    }
};

TEST_F(ZUISliderTest, DraggingSetsTheValueFromThePointer) {
    send(mouse(kZEventMouseDown, 10, 10));  // thumb centred at 10: value 0, no change
    EXPECT_EQ(slider->getValue(), 0);
    EXPECT_EQ(reports, (std::vector<long>{2}));
    send(mouse(kZEventMouseMove, 110, 10));
    EXPECT_FLOAT_EQ(slider->getValue(), 0.5f);
    EXPECT_EQ(slider->getSliderButton()->getPositionX(), 100);
    send(mouse(kZEventMouseMove, 215, 10));
    EXPECT_EQ(slider->getValue(), 1);
    send(mouse(kZEventMouseUp, 215, 10));
    send(mouse(kZEventMouseMove, 50, 10));  // no longer dragged
    EXPECT_EQ(slider->getValue(), 1);
    EXPECT_EQ(changes(), 2);
    EXPECT_TRUE(slider->hasValueChanged());
    EXPECT_FALSE(slider->hasValueChanged());
}

TEST_F(ZUISliderTest, ValuesAreClampedAndRepeatedValuesSendNothing) {
    slider->setValue(1.5f);
    EXPECT_EQ(slider->getValue(), 1);
    slider->setValue(1);
    EXPECT_EQ(changes(), 1);
    slider->setSliderType(ZUISliderVertical);
    slider->setSize(20, 200);
    slider->setValue(0.5f);
    EXPECT_EQ(slider->getSliderButton()->getPositionY(), 90);
}

TEST_F(ZUISliderTest, AThumbFillingTheTrackNeverDividesByZero) {
    slider->setSize(20, 20);
    send(mouse(kZEventMouseDown, 15, 10));
    EXPECT_EQ(slider->getValue(), 0);
}

struct PageCase {
    const char* name;
    float ratio;
    std::vector<float> values;  // after the press, then after each repeat
};

TEST_F(ZUISliderTest, PagingStepsTowardThePointerWithAutoRepeat) {
    const PageCase cases[] = {
        {"three steps", 0.25f, {2 / 3.0f, 1 / 3.0f, 0, 0}},
        {"one step", 0.5f, {0, 0}},
        {"a thumb past half the track", 0.8f, {0, 0}},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.name);
        slider->setScrollbar(0);
        slider->setValue(1);
        slider->setScrollbar(c.ratio);
        // The pointer stays at the window's origin, before the thumb: repeats page back.
        send(mouse(kZEventMouseDown, 0, 10));
        std::vector<float> seen = {slider->getValue()};
        tick(499);
        EXPECT_FLOAT_EQ(slider->getValue(), seen[0]);  // the first repeat waits 500 ms
        for (size_t i = 1; i < c.values.size(); i++) {
            tick(i == 1 ? 1 : 125);
            seen.push_back(slider->getValue());
        }
        ASSERT_EQ(seen.size(), c.values.size());
        for (size_t i = 0; i < seen.size(); i++) EXPECT_NEAR(seen[i], c.values[i], 1e-6) << i;
        float x = slider->getSliderButton()->getPositionX();
        EXPECT_GE(x, 0);
        EXPECT_LE(x + slider->getButtonWidth(), 220);
        send(mouse(kZEventMouseUp, 0, 10));
    }
}

TEST_F(ZUISliderTest, LosingTheCaptureEndsTheDrag) {
    send(mouse(kZEventMouseDown, 10, 10));
    EXPECT_EQ(slider->getSliderButton()->getState(), ZUIElementStateDown);
    slider->handleMouseCaptureLoss();
    EXPECT_EQ(slider->getSliderButton()->getState(), ZUIElementStateNormal);
    send(mouse(kZEventMouseMove, 110, 10));
    EXPECT_EQ(slider->getValue(), 0);
    EXPECT_EQ(ZUISlider::isSlider(slider), slider);
}

}  // namespace
