#include "_CBrush.h"

void _CBrush::release() {
    delete[] shapes;
    *this = _CBrush{};
}
