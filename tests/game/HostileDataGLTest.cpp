// The game started on damaged or hostile data.pak files: each must end with a message box and a
// log line that name what failed, a non-zero exit status, no signal, no sanitizer report, and
// nothing written outside its state folder.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

const char kGameName[] = "The Bramble Way";

void put16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// An entry as the zip holds it. Claimed sizes other than -1 replace the true ones in the central
// directory only, as a damaged or crafted directory would.
struct Entry {
    std::string name;
    std::string body;  // the bytes stored, deflated already when deflated is set
    bool deflated = false;
    uint32_t crc = 0;
    uint64_t size = 0;  // inflated
    int64_t claimedCompressed = -1;
    int64_t claimedSize = -1;
};

Entry stored(const std::string& name, const std::string& data) {
    Entry e;
    e.name = name;
    e.body = data;
    e.size = data.size();
    e.crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    return e;
}

// An entry of size zero bytes, deflated a megabyte at a time.
Entry zeros(const std::string& name, uint64_t size) {
    Entry e;
    e.name = name;
    e.deflated = true;
    e.size = size;
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> chunk(1 << 20, 0), out(1 << 16);
    uLong crc = crc32(0, nullptr, 0);
    for (uint64_t left = size;;) {
        uInt piece = static_cast<uInt>(left < chunk.size() ? left : chunk.size());
        crc = crc32(crc, chunk.data(), piece);
        left -= piece;
        z.next_in = chunk.data();
        z.avail_in = piece;
        int flush = left ? Z_NO_FLUSH : Z_FINISH;
        int result = Z_OK;
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            result = deflate(&z, flush);
            e.body.append(reinterpret_cast<char*>(out.data()), out.size() - z.avail_out);
        } while (z.avail_out == 0);
        if (!left && result == Z_STREAM_END) break;
    }
    deflateEnd(&z);
    e.crc = static_cast<uint32_t>(crc);
    return e;
}

std::string zip(const std::vector<Entry>& entries) {
    std::string file, directory;
    for (const Entry& e : entries) {
        uint32_t offset = static_cast<uint32_t>(file.size());
        std::string common;
        put16(common, 20);  // version needed
        put16(common, 0);   // flags
        put16(common, e.deflated ? 8 : 0);
        put16(common, 0);     // time
        put16(common, 0x21);  // 1 January 1980
        put32(common, e.crc);
        std::string local = common, central = common;
        put32(local, static_cast<uint32_t>(e.body.size()));
        put32(local, static_cast<uint32_t>(e.size));
        put32(central, static_cast<uint32_t>(e.claimedCompressed >= 0 ? e.claimedCompressed
                                                                      : int64_t(e.body.size())));
        put32(central, static_cast<uint32_t>(e.claimedSize >= 0 ? e.claimedSize : int64_t(e.size)));
        for (std::string* header : {&local, &central}) {
            put16(*header, static_cast<uint32_t>(e.name.size()));
            put16(*header, 0);  // extra field
        }
        file += "PK\x03\x04" + local + e.name + e.body;
        put16(central, 0);  // comment
        put16(central, 0);  // disk
        put16(central, 0);  // internal attributes
        put32(central, 0);  // external attributes
        put32(central, offset);
        directory += std::string("PK\x01\x02") + '\x14' + '\x03' + central + e.name;
    }
    std::string end = "PK\x05\x06";
    put16(end, 0);
    put16(end, 0);
    put16(end, static_cast<uint32_t>(entries.size()));
    put16(end, static_cast<uint32_t>(entries.size()));
    put32(end, static_cast<uint32_t>(directory.size()));
    put32(end, static_cast<uint32_t>(file.size()));
    put16(end, 0);
    return file + directory + end;
}

const char kGameIni[] = "[config]\nstartscene=title\n";
const char kStrings[] = "GAME_TITLE \"The Bramble Way\"\n";
const char kBrushes[] = "[brush1]\nid=1\nname=background\ntexsrcx2=64\ntexsrcy2=64\n";
const char kScene[] =
    "[scene]\nwidth=768\nheight=1024\nbrushes=objects\n[sprite1]\nbrush=1\nid=1\n"
    "name=background\nkey1rectx2=768\nkey1recty2=1024\natlas1srcx2=64\natlas1srcy2=64\n";

std::vector<Entry> gameFiles(const std::string& scene = kScene) {
    return {stored("data/game/game.ini", kGameIni), stored("data/game/english.txt", kStrings),
            stored("data/brushes/objects.ini", kBrushes), stored("data/scenes/title.ini", scene)};
}

// A scene of garbage: bytes of every value, brackets and equals signs without meaning and a line
// far longer than any buffer around the scene's own text, which asks for a picture the archive
// does not hold.
std::string garbage() {
    std::string text;
    for (int i = 0; i < 4096; i++) text += static_cast<char>((i * 7919 + 13) & 0xFF);
    text += "\n[[[=]\n=====\n[sprite\nname=" + std::string(70000, 'x') + "\n" + kScene;
    for (int i = 0; i < 4096; i++) text += static_cast<char>((i * 104729 + 7) & 0xFF);
    return text;
}

// Every path under the folder, but those under skip, with the size of files.
std::map<std::string, int64_t> listing(const fs::path& folder, const fs::path& skip) {
    std::map<std::string, int64_t> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->path() == skip) {
            it.disable_recursion_pending();
            continue;
        }
        found[it->path().string()] =
            it->is_regular_file() ? static_cast<int64_t>(it->file_size()) : -1;
    }
    return found;
}

int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;  // a box may vanish between listing and closing it
}

// Closes every dialog box on the display the way a window manager's close button does, and
// returns their titles.
std::vector<std::string> closeDialogs(Display* display) {
    Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom close = XInternAtom(display, "WM_DELETE_WINDOW", False);
    std::vector<std::string> titles;
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return titles;
    for (unsigned int i = 0; i < count; i++) {
        Atom actual;
        int format;
        unsigned long items = 0, after = 0;
        unsigned char* value = nullptr;
        bool isDialog = false;
        if (XGetWindowProperty(display, children[i], type, 0, 8, False, XA_ATOM, &actual, &format,
                               &items, &after, &value) == Success &&
            value) {
            for (unsigned long a = 0; a < items; a++)
                isDialog |= reinterpret_cast<Atom*>(value)[a] == dialog;
            XFree(value);
        }
        if (!isDialog) continue;
        // The title as the toolkit sets it: UTF-8 in the window manager's own property.
        std::string title;
        if (XGetWindowProperty(display, children[i], XInternAtom(display, "_NET_WM_NAME", False), 0,
                               256, False, XInternAtom(display, "UTF8_STRING", False), &actual,
                               &format, &items, &after, &value) == Success &&
            value) {
            title.assign(reinterpret_cast<char*>(value), items);
            XFree(value);
        }
        titles.push_back(title);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = children[i];
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(close);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, children[i], False, NoEventMask, &event);
    }
    if (children) XFree(children);
    XFlush(display);
    return titles;
}

struct GameRun {
    bool ended = false;
    int status = 0;
    std::vector<std::string> boxes;
    std::string log;
    std::string output;  // the game's stdout and stderr: sanitizer reports land there
};

// A copy of the game in folder/game beside the given data.pak, a home, a working folder and
// its state folder folder/state.
void prepareGame(const fs::path& folder, const std::string& pak) {
    for (const char* name : {"game", "state", "home", "work"})
        fs::create_directories(folder / name);
    // The game finds data.pak beside its executable; a link costs nothing on the same disk.
    fs::path executable = folder / "game/bramble-way";
    std::error_code error;
    fs::create_hard_link(BRAMBLE_GAME_EXECUTABLE, executable, error);
    if (error) fs::copy_file(BRAMBLE_GAME_EXECUTABLE, executable);
    writeFile((folder / "game/data.pak").string(), pak);
}

// Starts the game prepared in the folder and waits for it to end, closing the boxes it shows.
// Its stdout and stderr go to the output file.
GameRun runGame(const fs::path& folder, const fs::path& output) {
    fs::path executable = folder / "game/bramble-way", state = folder / "state",
             home = folder / "home", work = folder / "work";

    GameRun run;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return run;
    XSetErrorHandler(ignoreXErrors);
    pid_t child = fork();
    if (child == 0) {
        setsid();
        if (chdir(work.c_str()) != 0) _exit(126);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", state.c_str(), 1);
        setenv("ALSOFT_DRIVERS", "null", 1);
        FILE* out = freopen(output.c_str(), "w", stdout);
        if (!out || dup2(fileno(stdout), 2) < 0) _exit(126);
        execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (child > 0 && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &run.status, WNOHANG) == child) {
            run.ended = true;
            break;
        }
        for (const std::string& title : closeDialogs(display)) run.boxes.push_back(title);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (child > 0) {
        // Whatever of its session is left (a sanitizer's helper, a stuck game) goes.
        kill(-child, SIGKILL);
        if (!run.ended) waitpid(child, &run.status, 0);
    }
    XCloseDisplay(display);
    run.log = readFile((state / "Orvalle/TheBrambleWay/log.txt").string());
    run.output = readFile(output.string());
    return run;
}

// Whether a line of the log holds the text and then, at its end, the file name (the game may
// give the file's full path).
bool hasLine(const std::string& log, const std::string& text, const std::string& file) {
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
        size_t end = log.find('\n', at);
        std::string line = log.substr(at, end == std::string::npos ? end : end - at);
        if (line.size() >= file.size() &&
            line.compare(line.size() - file.size(), file.size(), file) == 0)
            return true;
    }
    return false;
}

struct Case {
    const char* what;
    std::function<std::string()> pak;
    const char* failedFile;   // the file the box and the log name
    const char* archiveLine;  // what the log says of the archive, or null
};

TEST(HostileDataGLTest, TheGameRefusesDamagedDataWithAMessageAndAFailureStatus) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no display";
    XCloseDisplay(display);
    const std::string good = zip(gameFiles());
    auto truncated = [good](size_t length) {
        return [good, length] { return good.substr(0, length); };
    };
    const Case cases[] = {
        {"empty file", truncated(0), "game.ini", "Resource: missing archive"},
        {"truncated in the first header", truncated(17), "game.ini", "Resource: missing archive"},
        {"truncated in the data", truncated(good.size() / 2), "game.ini",
         "Resource: missing archive"},
        {"truncated in the directory", truncated(good.size() - 40), "game.ini",
         "Resource: missing archive"},
        {"truncated in the end record", truncated(good.size() - 5), "game.ini",
         "Resource: missing archive"},
        {"wrong magic",
         [good] {
             std::string pak = good;
             for (size_t at = 0; (at = pak.find("PK", at)) != std::string::npos; at += 2)
                 pak[at] = 'Q';
             return pak;
         },
         "game.ini", "Resource: missing archive"},
        {"directory claiming huge sizes",
         [] {
             std::vector<Entry> files = gameFiles();
             files[0].claimedCompressed = 0xFFFFFFF0;
             files[0].claimedSize = 0xFFFFFFF0;
             return zip(files);
         },
         "game.ini", "Resource: added archive"},
        {"deflate bomb beyond any entry's size",
         [] {
             std::vector<Entry> files = gameFiles();
             files[0] = zeros("data/game/game.ini", (uint64_t(1) << 30) + 1);
             return zip(files);
         },
         "game.ini", "Resource: added archive"},
        {"deflate bomb behind a small size",
         [] {
             std::vector<Entry> files = gameFiles();
             files[0] = zeros("data/game/game.ini", uint64_t(64) << 20);
             files[0].claimedSize = 100;
             return zip(files);
         },
         "game.ini", "Resource: added archive"},
        {"names leaving the game's folder",
         [] {
             std::vector<Entry> files;
             for (const Entry& e : gameFiles()) {
                 files.push_back(e);
                 files.back().name = "../" + e.name;
                 files.push_back(e);
                 files.back().name = "data/../../" + e.name;
                 files.push_back(e);
                 files.back().name = "/" + e.name;
             }
             files.push_back(stored("/tmp/bramble-hostile-escaped.txt", "escaped"));
             return zip(files);
         },
         "game.ini", "Resource: added archive"},
        {"no game.ini",
         [] {
             std::vector<Entry> files = gameFiles();
             files.erase(files.begin());
             return zip(files);
         },
         "game.ini", "Resource: added archive"},
        {"start scene of garbage", [] { return zip(gameFiles(garbage())); },
         "scene_title_background.jpg", "Resource: added archive"},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir, outputDir;
        fs::path folder = dir.path(), state = folder / "state";
        prepareGame(folder, c.pak());
        std::map<std::string, int64_t> before = listing(folder, state);
        GameRun run = runGame(folder, fs::path(outputDir.path()) / "output.txt");
        EXPECT_EQ(listing(folder, state), before) << "written outside the state folder";
        ASSERT_TRUE(run.ended) << "still running after 90 s\n" << run.log;

        EXPECT_TRUE(WIFEXITED(run.status)) << "ended by signal " << WTERMSIG(run.status);
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) != 0)
            << "status " << run.status;
        for (const char* report : {"Sanitizer", "runtime error:"})
            EXPECT_EQ(run.output.find(report), std::string::npos) << run.output;

        EXPECT_TRUE(hasLine(run.log, "Game: error opening file: ", c.failedFile)) << run.log;
        EXPECT_TRUE(hasLine(
            run.log, std::string("System: message box '") + kGameName + "': Error opening file: ",
            c.failedFile))
            << run.log;
        EXPECT_NE(run.log.find(c.archiveLine), std::string::npos) << run.log;
        EXPECT_EQ(run.boxes, std::vector<std::string>{kGameName});
        EXPECT_FALSE(fs::exists("/tmp/bramble-hostile-escaped.txt"));
    }
}

}  // namespace
