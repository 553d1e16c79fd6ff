#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "../ui/RecordingBatch.h"
#include "PlayerFixture.h"
#include "TempDir.h"
#include "ZCore.h"
#include "ZImage.h"
#include "ZManagedGraphicList.h"
#include "ZManagedVideoList.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZUIElement.h"

std::atomic<long> DecodingGraphic::decodeDelayMs{0};
std::atomic<long> DecodingGraphic::decodes{0};

namespace {

std::mutex g_graphicCounters;

ZGraphic* makeDecodingGraphic() {
    return new DecodingGraphic();
}

ZBatch* makeBatch() {
    return new RecordingBatch();
}

std::string baseName(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

}  // namespace

GraphicCountersLock::GraphicCountersLock() {
    acquire();
}

GraphicCountersLock::~GraphicCountersLock() {
    release();
}

void GraphicCountersLock::acquire() {
    g_graphicCounters.lock();
}

void GraphicCountersLock::release() {
    g_graphicCounters.unlock();
}

bool DecodingGraphic::decode(const char* path) {
    if (long delay = decodeDelayMs.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!path || !ZResource::loadResource(path, data, size)) return false;
    ZImage image;
    bool decoded = image.decodeImage(ZImage::detectFormat(path), data, size);
    delete[] data;
    if (!decoded) return false;
    width = static_cast<float>(image.getImageWidth());
    height = static_cast<float>(image.getImageHeight());
    file = baseName(path);
    decodes++;
    return true;
}

bool DecodingGraphic::loadPicture(const char* path, bool, bool, bool, long phase,
                                  ZGraphicSpliceStruct*) {
    // The first phase runs on loader threads: it writes nothing to the shared log.
    if (phase != 2 && !decode(path)) return false;
    if (phase != 1) RecordingLog::add("upload " + file);
    return true;
}

bool DecodingGraphic::loadPictureWithMask(const char* colorPath, const char* maskPath, bool, bool,
                                          long phase, ZGraphicSpliceStruct*) {
    if (phase != 2) {
        unsigned char* data = nullptr;
        unsigned long size = 0;
        if (!maskPath || !ZResource::loadResource(maskPath, data, size)) return false;
        delete[] data;
        if (!decode(colorPath)) return false;
    }
    if (phase != 1) RecordingLog::add("upload " + file);
    return true;
}

bool DecodingGraphic::makePictureFromArray(uint32_t*, long w, long h, bool, bool, bool,
                                           ZGraphicSpliceStruct*) {
    width = static_cast<float>(w);
    height = static_cast<float>(h);
    file = "array";
    return true;
}

TestPlayer::TestPlayer(ZWindow* window) {
    m_window = window;
    setBaseIndex(ZUIElement::getRootElement() ? ZUIElement::getRootElement()->getChildrenCount()
                                              : 0);
    char folder[260];
    m_graphics->setPrefix(
        ZMiscTools::makeFilePathInBuffer("data/graphics", folder, sizeof(folder)));
    m_videos->setPrefix(ZMiscTools::makeFilePathInBuffer("data/videos", folder, sizeof(folder)));
}

TestPlayer::~TestPlayer() {
    unloadGame();
    m_window = nullptr;
}

void PlayerFixture::SetUp() {
    ZMiscTools::initMiscTools();
    ZResource::initialize();
    RecordingLog::install();
    ZCore::setRenderFactories(makeDecodingGraphic, makeBatch);
    DecodingGraphic::decodeDelayMs = 0;
    DecodingGraphic::decodes = 0;
    ZUIElement::initialize(&window);
    player = new TestPlayer(playerWindow());
}

void PlayerFixture::TearDown() {
    delete player;
    player = nullptr;
    ZUIElement::cleanup();
    RecordingLog::uninstall();
    ZResource::cleanup();
    for (const std::string& archive : m_archives) unlink(archive.c_str());
}

void PlayerFixture::addPicture(const std::string& name, long width, long height, uint32_t argb) {
    add(name, encodePicture(width, height, argb, ZImage::detectFormat(name.c_str())));
}

std::string PlayerFixture::encodePicture(long width, long height, uint32_t argb, long format) {
    ZImage image;
    uint32_t* pixels = new uint32_t[static_cast<size_t>(width * height)];
    // Bytes R, G, B, A in memory.
    uint32_t rgba =
        ((argb >> 16) & 0xff) | (argb & 0xff00) | ((argb & 0xff) << 16) | (argb & 0xff000000u);
    for (long i = 0; i < width * height; i++) pixels[i] = rgba;
    image.setPixels(width, height, (argb >> 24) != 0xff, pixels, false, true);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!image.encodeImage(format, data, size, 90)) return std::string();
    std::string bytes(reinterpret_cast<char*>(data), size);
    delete[] data;
    return bytes;
}

void PlayerFixture::mount() {
    std::string archive = std::string(ZMiscTools::getGameFolder()) + "/player-test-" +
                          std::to_string(getpid()) + "-" + std::to_string(m_archives.size()) +
                          ".pak";
    m_archives.push_back(archive);
    zipFile zip = zipOpen(archive.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, bytes] : m_files) {
        zip_fileinfo info;
        memset(&info, 0, sizeof(info));
        info.tmz_date.tm_year = 2020;
        info.tmz_date.tm_mday = 1;
        ASSERT_EQ(zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, Z_DEFAULT_COMPRESSION),
                  ZIP_OK);
        zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size()));
        zipCloseFileInZip(zip);
    }
    m_files.clear();
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
    ASSERT_EQ(ZResource::addArchive(archive.c_str(), 0, nullptr), 0);
}

CScene* PlayerFixture::play(const char* name, long layer) {
    return player->playScene(name, layer);
}

void PlayerFixture::frames(long count, double ms) {
    for (long i = 0; i < count; i++) {
        player->move(ms);
        player->blit();
    }
}

ZUIElement* PlayerFixture::element(const std::string& scene, const std::string& sprite) {
    return ZUIElement::getElementByName(("sprite_" + scene + "_" + sprite).c_str());
}
