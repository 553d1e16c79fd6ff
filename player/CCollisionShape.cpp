#include "CCollisionShape.h"

void CCollisionShape::reset() {
    *this = CCollisionShape{};
    parentSlot = -1;
    rectX2 = rectY2 = -1;
    circleRadius = -1;
    ringOuterRadius = -2;
    ringInnerRadius = -1;
}
