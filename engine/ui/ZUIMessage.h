#pragma once
class ZUIElement;

// A four-character message code: (c1 << 24) + (c2 << 16) + (c3 << 8) + n.
constexpr long zuiMessageCode(char c1, char c2, char c3, long n) {
    return (static_cast<long>(c1) << 24) + (static_cast<long>(c2) << 16) +
           (static_cast<long>(c3) << 8) + n;
}

// The element messages 'z','e','l',n.
enum : long {
    kZUIMsgMouseOver = zuiMessageCode('z', 'e', 'l', 1),
    kZUIMsgMouseLeave = zuiMessageCode('z', 'e', 'l', 2),
    kZUIMsgDown = zuiMessageCode('z', 'e', 'l', 3),
    kZUIMsgCurrentlyDown = zuiMessageCode('z', 'e', 'l', 4),
    kZUIMsgUp = zuiMessageCode('z', 'e', 'l', 5),
    kZUIMsgSelected = zuiMessageCode('z', 'e', 'l', 6),
    kZUIMsgDeselected = zuiMessageCode('z', 'e', 'l', 7),
    kZUIMsgRollOver = zuiMessageCode('z', 'e', 'l', 8),
    kZUIMsgRollOut = zuiMessageCode('z', 'e', 'l', 9),
    kZUIMsgDoneAnimating = zuiMessageCode('z', 'e', 'l', 10),
    kZUIMsgCollision = zuiMessageCode('z', 'e', 'l', 11),
    kZUIMsgHitQuery = zuiMessageCode('z', 'e', 'l', 12),
    kZUIMsgChildDown = zuiMessageCode('z', 'e', 'l', 13),
    kZUIMsgChildUp = zuiMessageCode('z', 'e', 'l', 14),
    kZUIMsgSwipe = zuiMessageCode('z', 'e', 'l', 15),
};

// What a message receiver is handed. data2 goes both ways: the sender reads back what the
// receiver left in it.
struct ZUIMessage {
    long type;
    ZUIElement* element;
    float x;
    float y;
    long data1;
    const char* text;
    ZUIElement* otherElement;
    long data2;
};
