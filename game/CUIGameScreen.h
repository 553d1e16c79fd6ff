#pragma once

#include "CUIDisplayHandler.h"

// The play screen's display handler, registered as "display_gamescreen". Its states, rules and
// drawing come with the play screen itself; for now it holds the place in the scene.
class CUIGameScreen : public CUIDisplayHandler {
public:
    explicit CUIGameScreen(ZUIElement* parent);
    ~CUIGameScreen() override;
};
