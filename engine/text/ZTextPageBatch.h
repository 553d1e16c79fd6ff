#pragma once

#include "ZBatch.h"
#include "ZGraphic.h"
#include "ZTextFace.h"

// The faces' shared batch opened on one page graphic at a time: a glyph of another page ends
// what is queued and begins that page; a page slot without a graphic draws nothing.
class ZTextPageBatch {
public:
    ZTextPageBatch(ZGraphic* const* pages, long pageCount) : m_pages(pages), m_count(pageCount) {}
    ~ZTextPageBatch() { end(); }
    ZTextPageBatch(const ZTextPageBatch&) = delete;
    ZTextPageBatch& operator=(const ZTextPageBatch&) = delete;

    ZBatch* begin(long page) {
        if (page == m_open) return m_batch;
        end();
        ZGraphic* graphic = page >= 0 && page < m_count ? m_pages[page] : nullptr;
        if (!graphic) return nullptr;
        m_batch =
            ZTextFace::g_lpTextBatch ? ZTextFace::g_lpTextBatch : ZTextFace::createTextBatch();
        if (!m_batch) return nullptr;
        m_batch->beginBatch(graphic);
        m_open = page;
        return m_batch;
    }

    // The page open now, or -1.
    long open() const { return m_open; }

    void end() {
        if (m_open >= 0 && m_batch) m_batch->endBatch();
        m_open = -1;
    }

private:
    ZGraphic* const* m_pages;
    long m_count;
    ZBatch* m_batch = nullptr;
    long m_open = -1;
};
