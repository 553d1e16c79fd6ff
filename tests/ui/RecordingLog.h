#pragma once

#include <initializer_list>
#include <string>
#include <vector>

// What the recording graphics, batches and window were asked to do, in order, as text lines.
// install() puts the recording graphic and batch in the engine's factories.
class ZMatrix;

class RecordingLog {
public:
    static std::vector<std::string> lines;
    static long liveGraphics;
    static long liveBatches;
    static void add(const std::string& line) { lines.push_back(line); }
    static void clear() { lines.clear(); }
    static long nextId();
    static void install();
    static void uninstall();
    // Numbers rounded to integers, space separated.
    static std::string numbers(std::initializer_list<float> values);
    // "sx1 sy1 sx2 sy2 > dx1 dy1 dx2 dy2 @ tx ty", then " fx" and " fy" for the flips; the
    // matrix by its translation, y downwards.
    static std::string blitText(float sx1, float sy1, float sx2, float sy2, float dx1, float dy1,
                                float dx2, float dy2, const ZMatrix* m, bool flipX, bool flipY);
    // The lines that start with the prefix.
    static std::vector<std::string> matching(const std::string& prefix);
};
