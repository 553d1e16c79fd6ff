// Takes the input as a string table in each of the three encodings (as it is, behind a UTF-8
// mark and behind a UTF-16 mark): reading must stay inside the file, make keys and values that
// end inside their blocks, and a written table must read back to the same entries.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ZGame.h"
#include "ZResource.h"
#include "ZTextFace.h"

namespace {

class FuzzGame : public ZGame {
public:
    const char* getGameName() override { return "fuzz"; }
    const char* getSafeGameName() override { return "fuzz"; }
    const char* getSafeDeveloperName() override { return "fuzz"; }
    const char* getGameVersion() override { return "1"; }
    ZWindow* createGameWindow() override { return nullptr; }
    void run() override {}
    void destroyGameWindow(ZWindow*) override {}
    void abortOnFile(const char*) override { __builtin_trap(); }
};

// In a memory-backed folder when there is one: the writer syncs every table it writes, three
// times per input, which on a disk slows fuzzing tenfold.
std::string tempPath(const char* tag) {
    char name[64];
    for (const char* base : {"/dev/shm", "/tmp"}) {
        snprintf(name, sizeof(name), "%s/fuzz-strings-%s-XXXXXX", base, tag);
        int fd = mkstemp(name);
        if (fd >= 0) {
            close(fd);
            break;
        }
    }
    return name;
}

void writeAll(const std::string& path, const std::string& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) __builtin_trap();
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

// Every entry's key and value as code points, with the CRs the writer leaves out dropped.
std::vector<std::u32string> contents(ZGame& game) {
    std::vector<std::u32string> all;
    for (long i = 0; i < game.getStringCount(); i++) {
        std::u32string entry;
        for (const char* k = game.getStringId(i); *k; k++)
            entry += static_cast<char32_t>(static_cast<unsigned char>(*k));
        entry += U'\t';
        long pos = 0;
        const char* value = game.getStringByIndex(i);
        for (unsigned long c;
             (c = ZTextFace::decodeChar(game.getStringEncoding(), value, pos, true)) != 0;)
            if (c != '\r') entry += static_cast<char32_t>(c);
        all.push_back(entry);
    }
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = tempPath("in"), output = tempPath("out");
    static bool initialized = [] {
        ZResource::initialize();
        atexit([] {
            unlink(input.c_str());
            unlink(output.c_str());
        });
        return true;
    }();
    (void)initialized;
    std::string raw(reinterpret_cast<const char*>(data), size);
    const std::string forms[] = {raw, "\xEF\xBB\xBF" + raw, "\xFF\xFE" + raw};
    for (const std::string& form : forms) {
        writeAll(input, form);
        FuzzGame game;
        if (!game.readStringTable(input.c_str())) __builtin_trap();
        std::vector<std::u32string> before = contents(game);
        game.writeStringTable(output.c_str());
        if (!game.readStringTable(output.c_str())) __builtin_trap();
        // Keys holding blanks, or empty ones, cannot be written as they are: compare only when
        // every key is a plain word, and a value that could be read as a key's line is none.
        bool plain = true;
        for (const std::u32string& e : before) {
            size_t tab = e.find(U'\t');
            for (size_t i = 0; i < tab; i++)
                if (e[i] == ' ' || e[i] == '\t' || e[i] == '\n' || e[i] == '\r' || e[i] == 0xFEFF)
                    plain = false;
        }
        if (plain && contents(game) != before) __builtin_trap();
    }
    return 0;
}
