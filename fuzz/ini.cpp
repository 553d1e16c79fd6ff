// Reads the input as an ini file, then as the entry block of a hashed ini in each of its three
// forms behind a valid header (plain, compressed, compressed and encrypted), and asks every
// reader a few lookups. A text reader is also written in every mode and read back: each value it
// holds must come back unchanged.
#include <openssl/evp.h>
#include <stdlib.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ZCore.h"
#include "ZIniReader.h"

namespace {

const char kKey[] = "0123456789abcdef";
const unsigned long kKeyLength = 16;
std::string g_folder;

void removeFolder() {
    std::error_code error;
    std::filesystem::remove_all(g_folder, error);
}

void appendLe32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>(value >> shift);
}

struct Query {
    std::string section;
    std::string key;
};

// Fixed names, and the first section name and key of the input, so that text readers hit.
std::vector<Query> queriesFor(const std::string& input) {
    std::vector<Query> queries = {{"", ""}, {"settings", "renderer"}, {"config", "startscene"}};
    size_t open = input.find('[');
    size_t close = input.find_first_of("]\r\n", open == std::string::npos ? 0 : open + 1);
    if (open != std::string::npos && close != std::string::npos) {
        std::string section = input.substr(open + 1, close - open - 1);
        size_t start = input.find_first_not_of("]\r\n", close);
        if (start != std::string::npos) {
            size_t end = input.find_first_of("=\r\n", start);
            queries.push_back({section, input.substr(start, end - start)});
        }
        queries.push_back({section, "key"});
    }
    for (Query& query : queries) {
        query.section = query.section.substr(0, std::strlen(query.section.c_str()));
        query.key = query.key.substr(0, std::strlen(query.key.c_str()));
    }
    return queries;
}

// Every kind of lookup; the values found (empty for absent), flagged by presence.
std::vector<std::pair<bool, std::string>> ask(ZIniReader& ini, const std::vector<Query>& queries) {
    std::vector<std::pair<bool, std::string>> answers;
    for (const Query& q : queries) {
        char buffer[300];
        char tiny[2];
        bool found = ini.getString(q.section.c_str(), q.key.c_str(), buffer, sizeof(buffer));
        if (ini.hasValue(q.section.c_str(), q.key.c_str()) != found) __builtin_trap();
        if (ini.getString(q.section.c_str(), q.key.c_str(), tiny, 0)) __builtin_trap();
        ini.getString(q.section.c_str(), q.key.c_str(), tiny, sizeof(tiny));
        ini.getValue(q.section.c_str(), q.key.c_str(), 0);
        ini.getFloatValue(q.section.c_str(), q.key.c_str(), 0.0f);
        answers.emplace_back(found, found ? std::string(buffer) : std::string());
    }
    return answers;
}

void readHashed(const std::string& file, const char* key, unsigned long keyLength,
                const std::vector<Query>& queries) {
    ZIniReader ini;
    ini.setIni(file.data(), static_cast<long>(file.size()), key, keyLength);
    if (!ini.isBinary()) __builtin_trap();
    ask(ini, queries);
    if (ini.setString("s", "k", "v")) __builtin_trap();
}

void readAsEntryBlock(const std::string& block, const std::vector<Query>& queries) {
    // The salt and an entry count that often claims more than the block holds.
    uint32_t salt = block.empty() ? 0 : static_cast<uint8_t>(block[0]) * 0x01010101u;
    uint32_t count = static_cast<uint32_t>(block.size() / 4);

    std::string plain;
    appendLe32(plain, ZIniReader::kMagicPlain);
    appendLe32(plain, salt);
    appendLe32(plain, count);
    readHashed(plain + block, nullptr, 0, queries);

    uLongf streamLength = compressBound(static_cast<uLong>(block.size()));
    std::string stream((streamLength + 15) / 16 * 16, '\0');
    if (compress(reinterpret_cast<Bytef*>(&stream[0]), &streamLength,
                 reinterpret_cast<const Bytef*>(block.data()),
                 static_cast<uLong>(block.size())) != Z_OK) {
        return;
    }
    std::string header;
    appendLe32(header, ZIniReader::kMagicCompressed);
    appendLe32(header, salt);
    appendLe32(header, count);
    appendLe32(header, static_cast<uint32_t>(block.size()));
    appendLe32(header, static_cast<uint32_t>(streamLength));
    readHashed(header + stream.substr(0, streamLength), nullptr, 0, queries);

    stream.resize((streamLength + 15) / 16 * 16);
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int length = 0;
    bool encrypted =
        context &&
        EVP_EncryptInit_ex(context, EVP_aes_128_ecb(), nullptr,
                           reinterpret_cast<const unsigned char*>(kKey), nullptr) == 1 &&
        EVP_CIPHER_CTX_set_padding(context, 0) == 1 &&
        EVP_EncryptUpdate(context, reinterpret_cast<unsigned char*>(&stream[0]), &length,
                          reinterpret_cast<const unsigned char*>(stream.data()),
                          static_cast<int>(stream.size())) == 1;
    EVP_CIPHER_CTX_free(context);
    if (!encrypted) return;
    header[0] = static_cast<char>(ZIniReader::kMagicEncrypted & 0xFF);
    readHashed(header + stream, kKey, kKeyLength, queries);
    readHashed(header + stream, "wrong key 16 byt", kKeyLength, queries);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A memory-backed folder when there is one: every input is written several times.
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string pattern = std::string(base) + "/fuzz-ini-XXXXXX";
        if (mkdtemp(&pattern[0])) {
            g_folder = pattern;
            break;
        }
    }
    atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<Query> queries = queriesFor(input);

    ZIniReader ini;
    if (!ini.setIni(input.data(), static_cast<long>(input.size()), kKey, kKeyLength)) {
        __builtin_trap();
    }
    std::vector<std::pair<bool, std::string>> answers = ask(ini, queries);
    readAsEntryBlock(input, queries);
    if (ini.isBinary() || g_folder.empty()) return 0;

    std::string path = g_folder + "/written.ini";
    for (int mode = 0; mode <= 3; mode++) {
        if (!ini.writeIni(path.c_str(), static_cast<ZIniCompressionMode>(mode), kKey, kKeyLength)) {
            __builtin_trap();
        }
        ZIniReader back;
        if (!back.setIni(path.c_str(), kKey, kKeyLength)) __builtin_trap();
        std::vector<std::pair<bool, std::string>> again = ask(back, queries);
        // A hashed reader may also match a pair it never held; what the text held must remain.
        for (size_t i = 0; i < answers.size(); i++) {
            if (answers[i].first && again[i] != answers[i]) __builtin_trap();
        }
    }
    return 0;
}
