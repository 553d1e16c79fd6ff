#pragma once
#include "ZObjectBase.h"

// A script an element can carry: it runs a text or calls a named function with typed argument
// blocks ("i" long, "f" float, "s" text pointer, one after another at their own widths). Elements
// only count references; the script's owner deletes it.
class ZScript : public ZObjectBase {
public:
    ZScript() = default;
    // A script still referenced is first detached from every element of the tree.
    ~ZScript() override;
    virtual bool execute(const char* text, bool flag) = 0;
    virtual bool call(const char* name, long inCount, const char* inFormat, void* inArgs,
                      long outCount, const char* outFormat, void* outArgs) = 0;

    void addReference() { m_references++; }
    void delReference() {
        if (m_references > 0) m_references--;
    }
    long getReferenceCount() const { return m_references; }

private:
    long m_references = 0;
};
