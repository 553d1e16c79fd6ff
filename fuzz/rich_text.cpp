// Reads the input as rich-text markup (after two bytes of set-up: the element's width and a
// choice of flags and flow) and parses, measures, hit-tests and draws it against a test face
// whose advances are fixed. Malformed markup must fail cleanly, and nothing may read or write
// outside what the parser and the layout own.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FakeWindow.h"
#include "FixedAdvanceFace.h"
#include "ZUIElement.h"
#include "ZUIRichText.h"

namespace {

FixedAdvanceFace g_face(7, 12);
FixedAdvanceFace g_big(11, 20);

class FuzzRichText : public ZUIRichText {
public:
    using ZUIRichText::ZUIRichText;
    bool getFontFace(const char* name, ZTextFace*& face, float& height, float& baseline) override {
        if (std::string(name) == "big") {
            face = &g_big;
            height = 20;
            baseline = 16;
            return true;
        }
        return false;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FakeWindow* window = [] {
        FakeWindow* w = new FakeWindow();
        ZUIElement::initialize(w);
        return w;
    }();
    (void)window;
    if (size < 2) return 0;
    FuzzRichText* rich = new FuzzRichText(ZUIElement::getRootElement());
    rich->setSize(static_cast<float>(data[0]), 200);
    rich->setTextFont(&g_face, -1, -1);
    uint8_t choice = data[1];
    rich->setTextFlow(choice & 7);
    rich->setCompatibilityLevel((choice >> 3) & 1);
    if (choice & 0x10) rich->setTextOutlineThickness(1);
    if (choice & 0x20) {
        rich->setFlags(ZUIRichText::kFlagOutlineFont);
        rich->setOutlineFont(&g_big);
    }
    rich->setMaxTextChars(choice & 0x40 ? 5 : -1);
    std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    rich->setText(text.c_str());
    rich->getCurrentTextWidth();
    float widths[8];
    rich->getCurrentTextWidthArray(8, widths);
    float x1, y1, x2, y2;
    for (long i = -1; i <= rich->getTotalTextChars() && i < 64; i++)
        rich->getCharacterPosInCurrentText(i, x1, y1, x2, y2);
    rich->blit(1.0f, nullptr);
    g_face.draws.clear();
    g_big.draws.clear();
    delete rich;
    return 0;
}
