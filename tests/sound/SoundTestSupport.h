#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Sound files for the tests, written byte by byte (WAV, AIFF, CAF and its IMA ADPCM packets) or
// with the real encoders (Ogg Vorbis with libvorbisenc, MP3 with LAME), and the measures the
// tests take of PCM.
namespace SoundTest {

std::string le16(uint32_t value);
std::string le32(uint32_t value);
std::string be16(uint32_t value);
std::string be32(uint32_t value);
std::string be64(uint64_t value);
// The 80-bit IEEE extended number of an AIFF rate.
std::string extended(double value);

// A chunk: RIFF and AIFF (4-byte id, 32-bit size in the file's byte order, body) and CAF
// (4-byte type, 64-bit big-endian size, body). size -1 writes the body's own length.
std::string riffChunk(const std::string& id, const std::string& body, int64_t size = -1);
std::string aiffChunk(const std::string& id, const std::string& body, int64_t size = -1);
std::string cafChunk(const std::string& type, const std::string& body);
std::string cafChunk(const std::string& type, const std::string& body, int64_t size);

// "fmt " body of PCM.
std::string wavFormat(int channels, int rate, int bits);
// A RIFF WAVE file of these chunks; riffSize -1 writes the true size.
std::string wavFile(const std::string& chunks, int64_t riffSize = -1);
std::string wavFile(int channels, int rate, int bits, const std::string& data);

// COMM body; an AIFF file of these chunks.
std::string aiffCommon(int channels, uint32_t frames, int bits, const std::string& rate);
std::string aiffFile(const std::string& chunks, int64_t formSize = -1);
std::string aiffFile(int channels, int rate, int bits, const std::string& samples);

// desc body; a CAF file of these chunks (version 1).
std::string cafDescription(double rate, const std::string& formatId, uint32_t flags,
                           uint32_t bytesPerPacket, uint32_t framesPerPacket, uint32_t channels,
                           uint32_t bits);
std::string cafFile(const std::string& chunks);
// A data chunk's body: the edit count and the audio.
std::string cafData(const std::string& audio);

// 16-bit samples, channels interleaved; a sine of the given amplitude on every channel.
std::vector<int16_t> sine(double frequency, int rate, double seconds, double amplitude,
                          int channels = 1);
std::string bytesOf(const std::vector<int16_t>& samples);
std::vector<int16_t> samplesOf(const unsigned char* data, uint64_t size);

// IMA ADPCM 'ima4' packets of 64 frames of the samples (channels interleaved), encoded with the
// decoder's own rules so that its state follows the encoder's.
std::string imaPackets(const std::vector<int16_t>& samples, int channels);

// The pages of an Ogg Vorbis stream of the samples, in order, each with its granule position;
// header is true for the three header packets' pages (the first holds the first packet alone).
// False when the encoder refuses the format.
typedef std::function<void(const std::string& page, int64_t granule, bool header)> OggPageSink;
bool oggPages(const std::vector<int16_t>& samples, int channels, int rate, float quality,
              int serial, const OggPageSink& sink);

// Ogg Vorbis and MP3 files of the samples.
std::string oggFile(const std::vector<int16_t>& samples, int channels, int rate,
                    float quality = 0.5f);
std::string mp3File(const std::vector<int16_t>& samples, int channels, int rate);

// The amplitude of the frequency in one channel of interleaved samples (a single-bin DFT).
double toneAmplitude(const std::vector<int16_t>& samples, int channels, int channel,
                     double frequency, int rate);
// The frequency of the strongest bin from low to high in steps of step Hz.
double peakFrequency(const std::vector<int16_t>& samples, int channels, int rate, double low,
                     double high, double step);

// Polls condition until it holds or the time-out runs out; whether it held.
bool waitFor(const std::function<bool()>& condition, int timeoutMilliseconds);

}  // namespace SoundTest
