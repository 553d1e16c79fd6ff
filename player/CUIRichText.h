#pragma once

#include "ZUIRichText.h"

// The rich text of a text sprite: fonts named in its markup are brushes of the sprite's scene,
// and inline images named by a tag are the scene's sprites called "__texttag_<tag>". The
// element's user data is its sprite.
class CUIRichText : public ZUIRichText {
public:
    explicit CUIRichText(ZUIElement* parent);
    ~CUIRichText() override;

    bool getFontFace(const char* name, ZTextFace*& face, float& height, float& baseline) override;
    // rect receives the frame's atlas region; baseline the distance from the top of the brush
    // region to its pivot.
    bool getImage(const char* tag, long frame, ZGraphic*& graphic, float* rect, float& baseline,
                  bool& xflip, bool& yflip) override;
};
