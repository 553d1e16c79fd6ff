#include "ZScript.h"

#include "ZUIElement.h"

ZScript::~ZScript() {
    if (m_references > 0 && ZUIElement::getRootElement())
        ZUIElement::getRootElement()->unlinkScript(this);
}
