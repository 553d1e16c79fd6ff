// Reads the input as a saved game whose digest is first made to fit its body, so the mutations
// reach the blocks behind it. A file that reads is written again, and that file must read and
// write back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CSavedGame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<unsigned char> file(data, data + size);
    unsigned char digest[CSavedGame::kDigestSize];
    if (CSavedGame::computeDigest(file.data(), file.size(), digest))
        memcpy(file.data() + file.size() - sizeof(digest), digest, sizeof(digest));
    CSavedGame::Header header;
    CSavedGame::readHeader(file.data(), file.size(), header);

    CSavedGame game;
    if (!game.read(file.data(), file.size(), -1)) return 0;
    std::vector<unsigned char> again = game.write();
    CSavedGame reread;
    if (!reread.read(again.data(), again.size(), header.handlerStateSize)) abort();
    if (reread.write() != again) abort();
    return 0;
}
