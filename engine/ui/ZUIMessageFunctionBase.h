#pragma once
struct ZUIMessage;

// A message receiver object; the element that holds one owns it.
class ZUIMessageFunctionBase {
public:
    virtual ~ZUIMessageFunctionBase() {}
    virtual void call(ZUIMessage* message) = 0;
    virtual bool compare(ZUIMessageFunctionBase* other) = 0;
};
