#!/usr/bin/env python3
"""Writes the small seed videos of the video fuzz target into fuzz/corpus/video.

They are made with the video tests' writer (tests/video/VideoFileSupport.cpp, on libtheora's
encoder, and the sound tests' Ogg Vorbis writer, on libvorbisenc), built here into a small program.
"""
import os
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
WRITER = os.path.join(HERE, "..", "tests", "video")
SOUND_WRITER = os.path.join(HERE, "..", "tests", "sound", "SoundTestSupport.cpp")

PROGRAM = r"""
#include <cstdio>
#include <cstdlib>
#include <string>
#include "VideoFileSupport.h"
int main(int argc, char** argv) {
    VideoFile::Layout layout;
    layout.width = atoi(argv[1]);
    layout.height = atoi(argv[2]);
    layout.offsetX = atoi(argv[3]);
    layout.offsetY = atoi(argv[4]);
    layout.pixelFormat = atoi(argv[5]);
    layout.frames = atoi(argv[6]);
    layout.channels = atoi(argv[7]);
    layout.fpsNumerator = 10;
    layout.keyframeInterval = 4;
    layout.stillTexture = true;
    layout.rate = 8000;
    layout.soundQuality = 0.0f;
    std::string file = VideoFile::make(layout);
    fwrite(file.data(), 1, file.size(), stdout);
    return 0;
}
"""

SEEDS = {
    "picture-420.ogv": ["16", "16", "0", "0", "0", "6", "0"],
    "picture-422-offset.ogv": ["13", "9", "3", "5", "2", "3", "0"],
    "picture-444-sound.ogv": ["8", "8", "1", "1", "3", "2", "1"],
    "sound-only.ogg": ["8", "8", "0", "0", "0", "0", "2"],
}


def main():
    out = os.path.join(HERE, "corpus", "video")
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "seeds.cpp")
        program = os.path.join(work, "seeds")
        with open(source, "w") as f:
            f.write(PROGRAM)
        libraries = subprocess.run(
            ["pkg-config", "--libs", "theoraenc", "vorbisenc", "vorbis", "ogg"],
            check=True, capture_output=True, text=True).stdout.split()
        subprocess.run(["c++", "-std=c++17", "-I", WRITER, source,
                        os.path.join(WRITER, "VideoFileSupport.cpp"), SOUND_WRITER, "-o",
                        program] + libraries + ["-lmp3lame"],
                       check=True)
        for name, arguments in SEEDS.items():
            data = subprocess.run([program] + arguments, check=True, capture_output=True).stdout
            with open(os.path.join(out, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
