#include <cmath>

#include "RecordingBatch.h"
#include "RecordingGraphic.h"
#include "RecordingLog.h"
#include "ZCore.h"
#include "ZMatrix.h"

std::vector<std::string> RecordingLog::lines;
long RecordingLog::liveGraphics = 0;
long RecordingLog::liveBatches = 0;

namespace {
long g_nextId = 0;

ZGraphic* makeGraphic() {
    return new RecordingGraphic();
}

ZBatch* makeBatch() {
    return new RecordingBatch();
}
}  // namespace

long RecordingLog::nextId() {
    return ++g_nextId;
}

void RecordingLog::install() {
    ZCore::setRenderFactories(makeGraphic, makeBatch);
    lines.clear();
}

void RecordingLog::uninstall() {
    ZCore::setRenderFactories(nullptr, nullptr);
    lines.clear();
}

std::string RecordingLog::numbers(std::initializer_list<float> values) {
    std::string out;
    for (float v : values) {
        if (!out.empty()) out += " ";
        out += std::to_string(static_cast<long>(std::lround(v)));
    }
    return out;
}

std::vector<std::string> RecordingLog::matching(const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : lines)
        if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    return out;
}

std::string RecordingLog::blitText(float sx1, float sy1, float sx2, float sy2, float dx1, float dy1,
                                   float dx2, float dy2, const ZMatrix* m, bool flipX, bool flipY) {
    std::string s = numbers({sx1, sy1, sx2, sy2}) + " > " + numbers({dx1, dy1, dx2, dy2});
    if (m) s += " @ " + numbers({m->m[12], -m->m[13]});
    if (flipX) s += " fx";
    if (flipY) s += " fy";
    return s;
}
