#include "CUIDisplayHandler.h"

#include "CPlayer.h"

namespace {
const char kClassTag[] = "CUIDisplayHandler";
const char* g_noEvents[] = {nullptr};
char g_dummyState[8];
}  // namespace

CUIDisplayHandler::CUIDisplayHandler(ZUIElement* parent)
    : ZUIImage(parent), m_player(CPlayer::g_lpPlayer) {
    addClass(kClassTag);
    setBlitMatrix(false);
}

CUIDisplayHandler::~CUIDisplayHandler() = default;

const char** CUIDisplayHandler::getUserEvents() {
    return g_noEvents;
}

void* CUIDisplayHandler::getStateData() {
    return g_dummyState;
}

CUIDisplayHandler* CUIDisplayHandler::isUIDisplayHandler(ZUIElement* element) {
    return element && element->isOfClass(kClassTag) ? static_cast<CUIDisplayHandler*>(element)
                                                    : nullptr;
}
