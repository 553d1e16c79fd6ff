#pragma once

#include "ZUIMessageFunctionBase.h"

// A message receiver bound to a member function of an object.
template <class T>
class ZUIMessageFunction : public ZUIMessageFunctionBase {
public:
    typedef void (T::*Member)(ZUIMessage* message);

    ZUIMessageFunction(T* object, Member member) : m_object(object), m_member(member) {}

    void call(ZUIMessage* message) override {
        if (m_object && m_member) (m_object->*m_member)(message);
    }
    bool compare(ZUIMessageFunctionBase* other) override {
        ZUIMessageFunction* same = dynamic_cast<ZUIMessageFunction*>(other);
        return same && same->m_object == m_object && same->m_member == m_member;
    }

private:
    T* m_object;
    Member m_member;
};
