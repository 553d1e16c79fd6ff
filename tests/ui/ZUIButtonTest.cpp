#include <string>
#include <vector>

#include "RecordingGraphic.h"
#include "UITreeFixture.h"
#include "ZUIButton.h"
#include "ZUIImage.h"
#include "ZUIText.h"

// The button driven by scripted pointer events: its per-state looks and its reports.
namespace {

class CountingButton : public ZUIButton {
public:
    using ZUIButton::ZUIButton;
    std::vector<std::string> hooks;
    void onClick() override { hooks.push_back("click"); }
    void onDoubleClick() override { hooks.push_back("double"); }
    void onFirstDown() override { hooks.push_back("first"); }
};

class ZUIButtonTest : public UITreeFixture {
public:
    std::vector<long> reports;
    CountingButton* button = nullptr;
    RecordingGraphic normal, down;

    void SetUp() override {
        UITreeFixture::SetUp();
        onMessage = [this](ZUIMessage* m) {
            if ((m->type >> 8) == (ZUIButton::kMsgClick >> 8)) reports.push_back(m->type & 0xff);
        };
        button = new CountingButton(root());
        button->setName("ok");
        button->setPosition(10, 10);
        button->setSize(100, 40);
        button->setBackgroundGraphic(ZUIElementStateNormal, &normal, 0, 0, 100, 40, nullptr);
        button->setBackgroundGraphic(ZUIElementStateDown, &down, 0, 0, 100, 40, nullptr);
        button->setState(ZUIElementStateNormal);
    }
    ZGraphic* backgroundGraphic() {
        ZUIImageFrame f;
        return button->getBackgroundImage()->getFrameData(0, &f) ? f.graphic : nullptr;
    }
};

TEST_F(ZUIButtonTest, PressAndReleaseOverTheButtonClicks) {
    send(mouse(kZEventMouseDown, 20, 20));
    EXPECT_TRUE(button->isDown());
    EXPECT_EQ(backgroundGraphic(), &down);
    send(mouse(kZEventMouseUp, 20, 20));
    EXPECT_EQ(button->hooks, (std::vector<std::string>{"first", "click"}));
    EXPECT_EQ(reports, (std::vector<long>{3, 1}));
    EXPECT_TRUE(button->isClicked());
    EXPECT_FALSE(button->isClicked());
    EXPECT_EQ(button->getState(), ZUIElementStateHovered);  // still under the pointer
    EXPECT_EQ(backgroundGraphic(), nullptr);
}

TEST_F(ZUIButtonTest, ReleasingAfterLeavingTheButtonDoesNotClick) {
    send(mouse(kZEventMouseDown, 20, 20));
    send(mouse(kZEventMouseMove, 300, 300));
    send(mouse(kZEventMouseUp, 300, 300));
    EXPECT_EQ(button->hooks, (std::vector<std::string>{"first"}));
    EXPECT_FALSE(button->isClicked());
}

TEST_F(ZUIButtonTest, DoubleClicksAndScriptedClicksReport) {
    send(mouse(kZEventDoubleClick, 20, 20));
    button->click();
    EXPECT_EQ(button->hooks, (std::vector<std::string>{"double", "click"}));
    EXPECT_EQ(reports, (std::vector<long>{2, 1}));
}

TEST_F(ZUIButtonTest, StatesApplyTheirOwnLooks) {
    button->setBackgroundColor(ZUIElementStateNormal, 1, 0, 0, 1);
    button->setBackgroundColor(5, 0, 1, 0, 1);  // no such state
    float rgba[4];
    button->getBackgroundImage()->getColor(rgba);
    EXPECT_EQ(rgba[1], 0);
    button->setState(ZUIElementStateHovered);  // colours set: the hovered state's white
    button->getBackgroundImage()->getColor(rgba);
    EXPECT_EQ(rgba[1], 1);
    EXPECT_EQ(backgroundGraphic(), nullptr);

    // The caption shifts by (1, 1) while down.
    button->setState(ZUIElementStateDown);
    EXPECT_EQ(button->getCaptionText()->getPositionX(), 1);
    EXPECT_EQ(button->getCaptionText()->getPositionY(), 1);

    // A captured background keeps what its owner gave it.
    button->captureBackgroundImage(true);
    button->getBackgroundImage()->setGraphic(&down, 0, 0, 5, 5, nullptr, -1, -1);
    button->setState(ZUIElementStateNormal);
    EXPECT_EQ(backgroundGraphic(), &down);
}

TEST_F(ZUIButtonTest, TheScaleFollowsTheStateOverTime) {
    button->setBackgroundScale(ZUIElementStateDown, 0.9f);
    button->setState(ZUIElementStateDown);
    window->frameTime = 16;
    button->move();
    EXPECT_NEAR(button->getBackgroundScale(), 1 - 0.0096f, 1e-5);
    for (int i = 0; i < 20; i++) button->move();
    EXPECT_NEAR(button->getBackgroundScale(), 0.9f, 1e-6);
    EXPECT_NEAR(button->getBackgroundImage()->getWidth(), 100 / 0.9f, 1e-3);
}

TEST_F(ZUIButtonTest, TheHitMaskOfTheBackgroundDecides) {
    static const unsigned char mask[1] = {0x01};  // 2 x 2: only the top-left pixel
    normal.width = normal.height = 2;
    button->setSize(2, 2);
    button->setBackgroundGraphic(ZUIElementStateNormal, &normal, 0, 0, 2, 2, mask);
    EXPECT_TRUE(button->onHit(0.5f, 0.5f));
    EXPECT_FALSE(button->onHit(1.5f, 1.5f));
}

TEST_F(ZUIButtonTest, ATemplateGivesItsLooks) {
    ZUIButton* copy = new ZUIButton(root());
    copy->copyFromTemplate(button);
    copy->setState(ZUIElementStateDown);
    ZUIImageFrame f;
    ASSERT_TRUE(copy->getBackgroundImage()->getFrameData(0, &f));
    EXPECT_EQ(f.graphic, &down);
    EXPECT_EQ(ZUIButton::isButton(copy), copy);
    EXPECT_EQ(ZUIButton::isButton(root()), nullptr);
}

}  // namespace
