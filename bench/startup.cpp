// bench_startup: the time from process start until the game has flipped its first 2 frames and
// ended (bramble-way with BRAMBLE_QUIT_AFTER_FRAMES=2, its data.pak beside it), against the bare
// SDL2 + OpenGL program bench_startup_bare that opens the same window and flips 2 frames. Both
// run from this program's folder, 5 times each; the medians are compared. Needs a display.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

const int kRuns = 5;

std::string ownFolder() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) return ".";
    path[length] = '\0';
    std::string text(path);
    return text.substr(0, text.rfind('/'));
}

// Milliseconds from spawning the program to its exit; -1 when it fails.
double timeRun(const std::string& program) {
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(const std::string& program) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; i++) {
        double t = timeRun(program);
        if (t < 0) {
            fprintf(stderr, "bench_startup: %s failed\n", program.c_str());
            exit(1);
        }
        times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    return times[kRuns / 2];
}

}  // namespace

int main() {
    std::string folder = ownFolder();
    char home[] = "/tmp/bench-startup-XXXXXX";
    if (!mkdtemp(home)) return 1;
    setenv("XDG_DATA_HOME", home, 1);
    setenv("BRAMBLE_QUIT_AFTER_FRAMES", "2", 1);

    double bare = median(folder + "/bench_startup_bare");
    double game = median(folder + "/bramble-way");
    printf("bare SDL2 + OpenGL, window and 2 frames: %.1f ms (median of %d)\n", bare, kRuns);
    printf("bramble-way, start scene and 2 frames:   %.1f ms (median of %d)\n", game, kRuns);
    printf("ratio (game / bare): %.2f\n", game / bare);
    std::error_code error;
    std::filesystem::remove_all(home, error);
    return 0;
}
