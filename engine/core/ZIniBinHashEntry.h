#pragma once

#include "ZObjectHashableLong.h"

// One entry of a hashed ini being read: the hash key is the entry's 32-bit hash (zero-extended);
// the value record (a length byte, then that many bytes) lies in the reader's contents.
class ZIniBinHashEntry : public ZObjectHashableLong {
public:
    const unsigned char* getValueRecord() const { return m_valueRecord; }
    void setValueRecord(const unsigned char* record) { m_valueRecord = record; }

private:
    const unsigned char* m_valueRecord = nullptr;
};
