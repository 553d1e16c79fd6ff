#!/bin/sh
# Runs a content tool that needs an OpenGL context on a display of its own (Xvfb), so that its
# small window has the focus it waits for and a build needs no desktop; without xvfb-run, on
# the current display. Mesa's software rasterizer draws on the calling thread and its shader
# cache stays off: their worker threads would outlive the window. Leak checks stay off: the GL
# driver keeps memory of its own.
export LP_NUM_THREADS=0 MESA_SHADER_CACHE_DISABLE=true ASAN_OPTIONS=detect_leaks=0
if command -v xvfb-run >/dev/null 2>&1; then
    exec xvfb-run -a -s "-screen 0 640x480x24" "$@"
fi
exec "$@"
