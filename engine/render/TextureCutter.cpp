#include "TextureCutter.h"

#include <cstring>

TextureCutter::Node TextureCutter::m_srcNodes[kMaxSrcNodes];
TextureCutter::Node TextureCutter::m_destNodes[kMaxDestNodes];
ZGraphicSpliceStruct TextureCutter::m_splices[kMaxSplices + 1];
long TextureCutter::m_srcNodeCount = 0;
long TextureCutter::m_destNodeCount = 0;
long TextureCutter::m_textureCount = 0;
long TextureCutter::m_spliceCount = 0;
long TextureCutter::m_targetWidth = 0;
long TextureCutter::m_targetHeight = 0;
const char* TextureCutter::m_errorText = "";

bool TextureCutter::createSplices(long width, long height) {
    m_errorText = "";
    initTextureCutter();
    if (width <= 0 || height <= 0) {
        return true;
    }
    initSourceRoot(width, height);

    for (;;) {
        long s = findOpenSrcNode();
        double srcArea = 0.0;
        double freeArea = 0.0;
        for (long i = 0; i < m_srcNodeCount; i++) {
            if (!m_srcNodes[i].split && !m_srcNodes[i].done) {
                srcArea += static_cast<double>(getNodeArea(&m_srcNodes[i]));
            }
        }
        for (long i = 0; i < m_destNodeCount; i++) {
            if (!m_destNodes[i].split && !m_destNodes[i].done) {
                freeArea += static_cast<double>(getNodeArea(&m_destNodes[i]));
            }
        }
        // A failure to add here is not final: the choice below tries once more.
        if (m_destNodeCount == 0) {
            initFreeTexture();
        } else if (freeArea != 0.0 && srcArea / freeArea > 1.0) {
            initFreeTexture();
        }

        long d = getLargestDestNode();
        if (d < 0) {
            initFreeTexture();
            d = getLargestDestNode();
            if (d < 0) {
                return false;
            }
        }

        bool restart = false;
        while (!m_srcNodes[s].done) {
            int64_t sw = 0;
            int64_t sh = 0;
            padSrcDimensions(m_srcNodes[s], m_destNodes[d], sw, sh);
            const Node& dest = m_destNodes[d];
            int64_t dw = dest.x2 - dest.x1;
            int64_t dh = dest.y2 - dest.y1;
            if (dw < sw || dh < sh) {
                if (!splitSrcNode(s, dw, dh)) {
                    restart = true;
                    break;
                }
                s = static_cast<long>(m_srcNodes[s].first);
            } else if (dw != sw || dh != sh) {
                if (!splitDestNode(d, sw, sh)) {
                    restart = true;
                    break;
                }
                d = static_cast<long>(m_destNodes[d].first);
            } else {
                if (!addFitSplices(m_srcNodes[s], m_destNodes[d])) {
                    restart = true;
                    break;
                }
                m_srcNodes[s].done = true;
                m_destNodes[d].done = true;
            }
        }
        if (restart) {
            if (!restartCutter()) {
                return false;
            }
            continue;
        }
        if (allSrcNodesDone()) {
            return true;
        }
    }
}

void TextureCutter::initTextureCutter() {
    std::memset(m_srcNodes, 0, sizeof(m_srcNodes));
    std::memset(m_destNodes, 0, sizeof(m_destNodes));
    std::memset(m_splices, 0, sizeof(m_splices));
    m_srcNodeCount = 0;
    m_destNodeCount = 0;
    m_textureCount = 0;
    m_spliceCount = 0;
    m_targetWidth = 0;
    m_targetHeight = 0;
}

void TextureCutter::initSourceRoot(long width, long height) {
    Node& root = m_srcNodes[0];
    root = Node{};
    root.first = -1;
    root.x2 = width;
    root.y2 = height;
    root.top = root.bottom = root.left = root.right = true;
    m_srcNodeCount = 1;
    m_targetWidth = width;
    m_targetHeight = height;
}

bool TextureCutter::initFreeTexture() {
    if (m_textureCount >= kMaxTextures || m_destNodeCount >= kMaxDestNodes) {
        return failure("Out of Textures");
    }
    Node& root = m_destNodes[m_destNodeCount];
    root = Node{};
    root.first = -1;
    root.x2 = kTextureSize;
    root.y2 = kTextureSize;
    root.texture = m_textureCount;
    m_destNodeCount++;
    m_textureCount++;
    return true;
}

long TextureCutter::getLargestDestNode() {
    long best = -1;
    for (long i = 0; i < m_destNodeCount; i++) {
        const Node& node = m_destNodes[i];
        if (node.split || node.done) {
            continue;
        }
        // Not smaller on either side: a later node wins a tie.
        if (best < 0 || compareNodes(&node, &m_destNodes[best]) != 1) {
            best = i;
        }
    }
    return best;
}

bool TextureCutter::restartCutter() {
    long textures = m_textureCount;
    if (textures >= kMaxTextures) {
        return failure("Out of Textures");
    }
    long width = m_targetWidth;
    long height = m_targetHeight;
    initTextureCutter();
    initSourceRoot(width, height);
    for (long i = 0; i <= textures; i++) {
        initFreeTexture();
    }
    return true;
}

bool TextureCutter::addSplice(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t texture,
                              int64_t x, int64_t y) {
    if (m_spliceCount >= kMaxSplices) {
        return failure("Out of Splices.");
    }
    ZGraphicSpliceStruct& splice = m_splices[m_spliceCount++];
    splice.x1 = static_cast<float>(x1);
    splice.y1 = static_cast<float>(y1);
    splice.x2 = static_cast<float>(x2);
    splice.y2 = static_cast<float>(y2);
    splice.texture = texture;
    splice.x = static_cast<float>(x);
    splice.y = static_cast<float>(y);
    return true;
}

bool TextureCutter::addFitSplices(const Node& s, const Node& d) {
    bool leftBorder = s.left && d.x1 > 0;
    bool topBorder = s.top && d.y1 > 0;
    int64_t x = leftBorder ? d.x1 + 1 : d.x1;
    int64_t y = topBorder ? d.y1 + 1 : d.y1;
    if (!addSplice(s.x1, s.y1, s.x2, s.y2, d.texture, x, y)) {
        return false;
    }
    if (leftBorder && !addSplice(s.x1, s.y1, s.x1 + 1, s.y2, d.texture, d.x1, y)) {
        return false;
    }
    if (topBorder && !addSplice(s.x1, s.y1, s.x2, s.y1 + 1, d.texture, x, d.y1)) {
        return false;
    }
    if (s.bottom && d.y2 < kTextureSize &&
        !addSplice(s.x1, s.y2 - 1, s.x2, s.y2, d.texture, x, d.y2 - 1)) {
        return false;
    }
    if (s.right && d.x2 < kTextureSize &&
        !addSplice(s.x2 - 1, s.y1, s.x2, s.y2, d.texture, d.x2 - 1, y)) {
        return false;
    }
    return true;
}

bool TextureCutter::splitSrcNode(long node, int64_t width, int64_t height) {
    if (node < 0 || node >= m_srcNodeCount) {
        return failure("NULL Node Pointer");
    }
    if (m_srcNodeCount + 2 > kMaxSrcNodes) {
        return failure("Out of Nodes");
    }
    Node& s = m_srcNodes[node];
    long firstIndex = m_srcNodeCount++;
    long secondIndex = m_srcNodeCount++;
    Node& first = m_srcNodes[firstIndex];
    Node& second = m_srcNodes[secondIndex];
    first = s;
    second = s;
    first.split = second.split = false;
    first.done = second.done = false;
    first.first = second.first = -1;

    int64_t across = (s.x2 - s.x1) - width;
    int64_t down = (s.y2 - s.y1) - height;
    if (across <= down) {
        first.y2 = s.y1 + height;
        first.bottom = true;
        // The pieces share a row, unless that makes the second one taller than a texture.
        second.y1 = s.y1 + height - 1;
        if (s.y2 - second.y1 > kTextureSize) {
            second.y1 = s.y1 + height;
        }
        second.top = false;
    } else {
        first.x2 = s.x1 + width;
        first.right = true;
        second.x1 = s.x1 + width - 1;
        if (s.x2 - second.x1 > kTextureSize) {
            second.x1 = s.x1 + width;
        }
        second.left = false;
    }
    s.split = true;
    s.first = firstIndex;
    return true;
}

bool TextureCutter::splitDestNode(long node, int64_t width, int64_t height) {
    if (node < 0 || node >= m_destNodeCount) {
        return failure("NULL Node Pointer");
    }
    if (m_destNodeCount + 2 > kMaxDestNodes) {
        return failure("Out of Nodes");
    }
    Node& d = m_destNodes[node];
    long firstIndex = m_destNodeCount++;
    long secondIndex = m_destNodeCount++;
    Node& first = m_destNodes[firstIndex];
    Node& second = m_destNodes[secondIndex];
    first = Node{};
    first.first = -1;
    first.texture = d.texture;
    second = first;
    first.x1 = second.x1 = d.x1;
    first.y1 = second.y1 = d.y1;
    first.x2 = second.x2 = d.x2;
    first.y2 = second.y2 = d.y2;

    // One empty row or column stays between the two, so that neither filters into the other.
    int64_t across = (d.x2 - d.x1) - width;
    int64_t down = (d.y2 - d.y1) - height;
    if (across <= down) {
        first.y2 = d.y1 + height;
        second.y1 = d.y1 + height + 1;
    } else {
        first.x2 = d.x1 + width;
        second.x1 = d.x1 + width + 1;
    }
    d.split = true;
    d.first = firstIndex;
    return true;
}

int64_t TextureCutter::getNodeArea(const Node* node) {
    if (node == nullptr) {
        return 0;
    }
    return (node->x2 - node->x1) * (node->y2 - node->y1);
}

void TextureCutter::padSrcDimensions(const Node& s, const Node& d, int64_t& width,
                                     int64_t& height) {
    width = s.x2 - s.x1;
    height = s.y2 - s.y1;
    if (s.top && d.y1 > 0) {
        height++;
    }
    if (s.bottom && height < kTextureSize) {
        height++;
    }
    if (s.left && d.x1 > 0) {
        width++;
    }
    if (s.right && width < kTextureSize) {
        width++;
    }
}

bool TextureCutter::failure(const char* text) {
    m_errorText = text;
    return false;
}

long TextureCutter::compareNodes(const Node* a, const Node* b) {
    int64_t aw = a->x2 - a->x1;
    int64_t ah = a->y2 - a->y1;
    int64_t bw = b->x2 - b->x1;
    int64_t bh = b->y2 - b->y1;
    if (aw == bw && ah == bh) {
        return 0;
    }
    if (aw < bw || ah < bh) {
        return 1;
    }
    return -1;
}

long TextureCutter::findOpenSrcNode() {
    for (long i = 0; i < m_srcNodeCount; i++) {
        if (!m_srcNodes[i].split && !m_srcNodes[i].done) {
            return i;
        }
    }
    return 0;
}

bool TextureCutter::allSrcNodesDone() {
    for (long i = 0; i < m_srcNodeCount; i++) {
        if (!m_srcNodes[i].split && !m_srcNodes[i].done) {
            return false;
        }
    }
    return true;
}
