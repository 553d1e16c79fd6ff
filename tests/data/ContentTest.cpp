// The rendered content as the build left it in content/: pictures decode through the engine
// at the sizes the manifest promises, the sounds are plain PCM of a sensible length and level,
// and the songs decode to seamless loops of their musical length.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ZImage.h"

namespace {

std::string contentPath(const std::string& relative) {
    return std::string(BRAMBLE_CONTENT_DIR) + "/" + relative;
}

struct Picture {
    std::string name;
    long width = 0;
    long height = 0;
    double pivotX = 0;
    double pivotY = 0;
    long stretch[4] = {-1, -1, -1, -1};
};

std::vector<Picture> readManifest() {
    std::vector<Picture> out;
    std::ifstream in(contentPath("graphics/manifest.txt"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line.substr(0, line.find('|')));
        Picture p;
        fields >> p.name >> p.width >> p.height >> p.pivotX >> p.pivotY >> p.stretch[0] >>
            p.stretch[1] >> p.stretch[2] >> p.stretch[3];
        EXPECT_FALSE(fields.fail()) << line;
        out.push_back(p);
    }
    return out;
}

bool loadPicture(const std::string& name, ZImage& image) {
    std::string bytes = readFile(contentPath("graphics/" + name + ".png"));
    return !bytes.empty() &&
           image.decodeImage(ZImageFormatPng, reinterpret_cast<const unsigned char*>(bytes.data()),
                             bytes.size());
}

uint8_t alphaAt(const ZImage& image, long x, long y) {
    uint32_t pixel = image.getPixels()[y * image.getImageWidth() + x];
    return reinterpret_cast<const uint8_t*>(&pixel)[3];
}

// Mean difference of premultiplied colour between row a and row b (or columns).
double lineDifference(const ZImage& image, long a, long b, bool rows) {
    const uint8_t* px = reinterpret_cast<const uint8_t*>(image.getPixels());
    long w = image.getImageWidth(), h = image.getImageHeight();
    long count = rows ? w : h;
    double sum = 0;
    for (long i = 0; i < count; i++) {
        long ia = rows ? (a * w + i) : (i * w + a);
        long ib = rows ? (b * w + i) : (i * w + b);
        for (int c = 0; c < 3; c++) {
            sum += std::fabs(px[ia * 4 + c] * px[ia * 4 + 3] / 255.0 -
                             px[ib * 4 + c] * px[ib * 4 + 3] / 255.0);
        }
        sum += std::fabs(double(px[ia * 4 + 3]) - px[ib * 4 + 3]);
    }
    return sum / count;
}

TEST(ContentPictures, EveryPictureDecodesAtItsManifestSizeAndShowsSomething) {
    std::vector<Picture> pictures = readManifest();
    ASSERT_GT(pictures.size(), 40u);
    std::set<std::string> names;
    for (const Picture& p : pictures) {
        SCOPED_TRACE(p.name);
        EXPECT_TRUE(names.insert(p.name).second) << "listed twice";
        ZImage image;
        ASSERT_TRUE(loadPicture(p.name, image));
        EXPECT_EQ(image.getImageWidth(), p.width);
        EXPECT_EQ(image.getImageHeight(), p.height);
        // Only the two backdrops cover the whole window.
        bool backdrop = p.name == "sky_backdrop" || p.name == "jukebox_bg";
        EXPECT_EQ(image.hasAlphaChannel(), !backdrop);
        long visible = 0;
        for (long y = 0; y < p.height; y++)
            for (long x = 0; x < p.width; x++) visible += alphaAt(image, x, y) > 0;
        EXPECT_GT(visible, p.width * p.height / 20) << "almost nothing drawn";
        EXPECT_GE(p.pivotX, 0);
        EXPECT_LE(p.pivotX, p.width);
        EXPECT_GE(p.pivotY, 0);
        EXPECT_LE(p.pivotY, p.height);
        if (p.stretch[0] >= 0) {
            EXPECT_LT(p.stretch[0], p.stretch[2]);
            EXPECT_LT(p.stretch[1], p.stretch[3]);
            EXPECT_LE(p.stretch[2], p.width);
            EXPECT_LE(p.stretch[3], p.height);
        }
    }
}

TEST(ContentPictures, TheSpritesThePlayScreenNamesHaveTheirPictures) {
    std::set<std::string> names;
    for (const Picture& p : readManifest()) names.insert(p.name);
    const char* required[] = {
        "perso",       "persohud",       "feuille_g",        "feuille_d",     "haricot",
        "nuages_tile", "nuage_1",        "nuage_2",          "nuage_3",       "coeur",
        "piece",       "coffre",         "pierre",           "piquants",      "tap_circle",
        "fade_bas",    "particle_heart", "particle_sparkle", "btn_volume_on", "btn_volume_off",
        "btn_jukebox", "btn_share",      "btn_web",          "btn_continue",  "btn_close",
        "popup_panel", "blanket",        "jukebox_bg",       "jukebox_cover", "title_logo",
        "hud_plate",   "sky_backdrop"};
    for (const char* name : required) EXPECT_TRUE(names.count(name)) << name;
    // Every jukebox row key has its own look and its highlight (the key plus "x").
    for (const char* row : {"a", "b", "c"}) {
        for (int i = 1; i <= (row[0] == 'a' ? 4 : 6); i++) {
            std::string key = std::string("jukebox_") + row + std::to_string(i);
            EXPECT_TRUE(names.count(key)) << key;
            EXPECT_TRUE(names.count(key + "x")) << key << "x";
        }
    }
}

// A tile whose last line does not run on into its first shows a seam every period.
TEST(ContentPictures, TilesJoinWithoutASeam) {
    struct Case {
        const char* name;
        bool vertical;
        bool horizontal;
    } cases[] = {{"haricot", true, false}, {"nuages_tile", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZImage image;
        ASSERT_TRUE(loadPicture(c.name, image));
        for (bool rows : {true, false}) {
            if (rows ? !c.vertical : !c.horizontal) continue;
            long n = rows ? image.getImageHeight() : image.getImageWidth();
            std::vector<double> steps;
            for (long i = 0; i + 1 < n; i++) steps.push_back(lineDifference(image, i, i + 1, rows));
            std::sort(steps.begin(), steps.end());
            double seam = lineDifference(image, n - 1, 0, rows);
            EXPECT_LE(seam, steps[steps.size() * 95 / 100] + 0.5)
                << (rows ? "top and bottom" : "left and right") << " do not join";
        }
    }
}

struct Wav {
    int format = 0;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    std::vector<int16_t> samples;
};

uint32_t le32(const std::string& s, size_t at) {
    return uint8_t(s[at]) | uint8_t(s[at + 1]) << 8 | uint8_t(s[at + 2]) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
}

uint16_t le16(const std::string& s, size_t at) {
    return uint16_t(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8);
}

bool readWav(const std::string& path, Wav& wav) {
    std::string s = readFile(path);
    if (s.size() < 12 || s.compare(0, 4, "RIFF") || s.compare(8, 4, "WAVE")) return false;
    bool haveFormat = false, haveData = false;
    for (size_t at = 12; at + 8 <= s.size();) {
        std::string id = s.substr(at, 4);
        size_t size = le32(s, at + 4);
        if (at + 8 + size > s.size()) return false;
        if (id == "fmt " && size >= 16) {
            wav.format = le16(s, at + 8);
            wav.channels = le16(s, at + 10);
            wav.rate = int(le32(s, at + 12));
            wav.bits = le16(s, at + 22);
            haveFormat = true;
        } else if (id == "data" && haveFormat && wav.bits == 16) {
            wav.samples.resize(size / 2);
            std::memcpy(wav.samples.data(), s.data() + at + 8, wav.samples.size() * 2);
            haveData = true;
        }
        at += 8 + size + (size & 1);
    }
    return haveFormat && haveData;
}

double decibels(double amplitude) {
    return 20 * std::log10(std::max(amplitude, 1e-9));
}

TEST(ContentSounds, EveryEffectIsShortPlainPcmBelowFullScale) {
    for (const char* name :
         {"tap", "click", "hit_obstacle_2", "catch_coin", "catch_chest", "catch_heart", "death"}) {
        SCOPED_TRACE(name);
        Wav wav;
        ASSERT_TRUE(readWav(contentPath(std::string("sfx/") + name + ".wav"), wav));
        EXPECT_EQ(wav.format, 1);
        EXPECT_EQ(wav.bits, 16);
        EXPECT_TRUE(wav.channels == 1 || wav.channels == 2);
        EXPECT_TRUE(wav.rate == 22050 || wav.rate == 44100);
        ASSERT_GT(wav.channels, 0);
        double seconds = double(wav.samples.size()) / wav.channels / wav.rate;
        EXPECT_GE(seconds, 0.02);
        EXPECT_LE(seconds, 2.0);
        int peak = 0;
        double energy = 0;
        for (int16_t v : wav.samples) {
            peak = std::max(peak, std::abs(int(v)));
            energy += double(v) * v;
        }
        EXPECT_LT(peak, 32000) << "clips";
        EXPECT_GT(decibels(peak / 32768.0), -12.0) << "too quiet";
        double rms = std::sqrt(energy / wav.samples.size()) / 32768.0;
        EXPECT_GT(decibels(rms), -30.0);
        // A sound that stops in the middle of a wave clicks.
        for (int c = 0; c < wav.channels; c++)
            EXPECT_LT(std::abs(int(wav.samples[wav.samples.size() - wav.channels + c])), 200);
    }
}

struct Song {
    std::string section;
    std::map<std::string, std::string> keys;
};

std::vector<Song> readSongs() {
    std::vector<Song> out;
    std::ifstream in(contentPath("music/songs.ini"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            out.push_back(Song{line.substr(1, line.find(']') - 1), {}});
        } else if (!out.empty() && line.find('=') != std::string::npos) {
            out.back().keys[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        }
    }
    return out;
}

TEST(ContentMusic, TheJukeboxListsItsSixteenRowsInOrder) {
    std::vector<Song> songs = readSongs();
    ASSERT_EQ(songs.size(), 17u);
    EXPECT_EQ(songs[0].section, "ingame");
    EXPECT_EQ(songs[0].keys["file"], "ingame");
    std::vector<std::string> rows;
    for (const char* row : {"a", "b", "c"})
        for (int i = 1; i <= (row[0] == 'a' ? 4 : 6); i++)
            rows.push_back(std::string("jukebox_") + row + std::to_string(i));
    std::set<std::string> files, titles;
    for (size_t i = 1; i < songs.size(); i++) {
        SCOPED_TRACE(songs[i].section);
        EXPECT_EQ(songs[i].section, "song" + std::to_string(i));
        EXPECT_EQ(songs[i].keys["row"], rows[i - 1]);
        EXPECT_FALSE(songs[i].keys["title"].empty());
        EXPECT_TRUE(songs[i].keys.count("credit"));
        EXPECT_TRUE(files.insert(songs[i].keys["file"]).second) << "file used twice";
        EXPECT_TRUE(titles.insert(songs[i].keys["title"]).second) << "title used twice";
    }
}

struct Decoded {
    long rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;
};

bool decodeMp3(const std::string& path, Decoded& out) {
#if MPG123_API_VERSION < 46
    mpg123_init();
#endif
    int error = 0;
    mpg123_handle* h = mpg123_new(nullptr, &error);
    if (!h) return false;
    bool ok = false;
    int encoding = 0;
    if (mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0) == MPG123_OK &&
        mpg123_open(h, path.c_str()) == MPG123_OK &&
        mpg123_getformat(h, &out.rate, &out.channels, &encoding) == MPG123_OK) {
        mpg123_format_none(h);
        mpg123_format(h, out.rate, out.channels, MPG123_ENC_SIGNED_16);
        std::vector<unsigned char> buffer(65536);
        for (;;) {
            size_t done = 0;
            int r = mpg123_read(h, buffer.data(), buffer.size(), &done);
            size_t old = out.samples.size();
            out.samples.resize(old + done / 2);
            std::memcpy(out.samples.data() + old, buffer.data(), done / 2 * 2);
            if (r == MPG123_DONE) {
                ok = true;
                break;
            }
            if (r != MPG123_OK && r != MPG123_NEW_FORMAT) break;
        }
        mpg123_close(h);
    }
    mpg123_delete(h);
    return ok;
}

// The loop's length in frames at 44100 Hz, from the song's tempo, metre and form.
long expectedFrames(Song& song) {
    double bars = 8.0 * song.keys["form"].size();
    double seconds = bars * std::stod(song.keys["beats"]) * 60.0 / std::stod(song.keys["tempo"]);
    return std::lround(seconds * 44100);
}

TEST(ContentMusic, EverySongDecodesToASeamlessLoopOfItsOwnLength) {
    for (Song& song : readSongs()) {
        SCOPED_TRACE(song.section);
        Decoded d;
        ASSERT_TRUE(decodeMp3(contentPath("music/" + song.keys["file"] + ".mp3"), d));
        EXPECT_EQ(d.rate, 44100);
        ASSERT_EQ(d.channels, 2);
        long frames = long(d.samples.size() / 2);
        double seconds = double(frames) / 44100;
        EXPECT_GE(seconds, 45.0);
        EXPECT_LE(seconds, 90.0);
        // Encoder delay and padding dropped: the loop is exactly its bars long.
        EXPECT_EQ(frames, expectedFrames(song));
        long clipped = 0;
        double energy = 0;
        std::vector<int> steps;
        for (size_t i = 0; i < d.samples.size(); i++) {
            clipped += std::abs(int(d.samples[i])) >= 32767;
            energy += double(d.samples[i]) * d.samples[i];
            if (i >= 2) steps.push_back(std::abs(d.samples[i] - d.samples[i - 2]));
        }
        EXPECT_EQ(clipped, 0);
        double rms = decibels(std::sqrt(energy / d.samples.size()) / 32768.0);
        EXPECT_GT(rms, -24.0);
        EXPECT_LT(rms, -10.0);
        // Where the loop wraps, the wave goes on as it does anywhere else.
        // Drum hits start right on the loop's first sample, so the join is measured against
        // the steps of the loudest onsets as well: all but one in ten thousand.
        size_t rank = steps.size() - steps.size() / 10000;
        std::nth_element(steps.begin(), steps.begin() + rank, steps.end());
        int usual = steps[rank];
        for (int c = 0; c < 2; c++) {
            int join = std::abs(d.samples[c] - d.samples[d.samples.size() - 2 + c]);
            EXPECT_LE(join, usual) << "channel " << c << " jumps at the loop";
        }
    }
}

}  // namespace
