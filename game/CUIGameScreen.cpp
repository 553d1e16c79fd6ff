#include "CUIGameScreen.h"

CUIGameScreen::CUIGameScreen(ZUIElement* parent) : CUIDisplayHandler(parent) {
    addClass("CUIGameScreen");
}

CUIGameScreen::~CUIGameScreen() = default;
