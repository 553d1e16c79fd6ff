#!/usr/bin/env python3
"""Writes the tiny seed files of the sound fuzz targets into fuzz/corpus/wav, caf_aiff and ogg.

WAV, AIFF and CAF files are assembled here byte by byte; the Ogg Vorbis files come from a small C
program built here against libvorbisenc (Debian package libvorbis-dev).
"""
import math
import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def tone(count, channels, bits, rate=8000):
    out = b""
    for i in range(count):
        value = math.sin(2 * math.pi * 440 * i / rate)
        for c in range(channels):
            if bits == 8:
                out += bytes([int(128 + 100 * value) & 0xFF])
            else:
                sample = int(20000 * value) << (bits - 16)
                out += sample.to_bytes(bits // 8, "little", signed=True)
    return out


def riff(chunk_id, body):
    return chunk_id + struct.pack("<I", len(body)) + body


def wav(channels, bits, data, rate=8000, extra=b""):
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
    chunks = extra + riff(b"fmt ", fmt) + riff(b"data", data)
    return b"RIFF" + struct.pack("<I", len(chunks) + 4) + b"WAVE" + chunks


def extended(value):
    exponent = math.frexp(value)[1]
    mantissa = int(math.ldexp(math.frexp(value)[0], 64))
    return struct.pack(">HQ", exponent - 1 + 16383, mantissa)


def aiff(channels, bits, big_endian_data, rate=8000, offset=0):
    frames = len(big_endian_data) // (channels * ((bits + 7) // 8))
    comm = struct.pack(">HIH", channels, frames, bits) + extended(rate)
    ssnd = struct.pack(">II", offset, 0) + b"\x00" * offset + big_endian_data
    chunks = b"COMM" + struct.pack(">I", len(comm)) + comm
    chunks += b"SSND" + struct.pack(">I", len(ssnd)) + ssnd
    return b"FORM" + struct.pack(">I", len(chunks) + 4) + b"AIFF" + chunks


def caf(format_id, flags, frames_per_packet, channels, bits, audio, rate=8000.0, data_size=None):
    desc = struct.pack(">d4sIIIII", rate, format_id, flags, 0, frames_per_packet, channels, bits)
    body = struct.pack(">I", 0) + audio
    size = len(body) if data_size is None else data_size
    return (b"caff" + struct.pack(">HH", 1, 0) + b"desc" + struct.pack(">q", len(desc)) + desc +
            b"data" + struct.pack(">q", size) + body)


def ima_packets(channels, packets):
    out = b""
    for p in range(packets):
        for c in range(channels):
            out += struct.pack(">H", ((p * 300) & 0xFF80) | (p * 7 % 89))
            out += bytes((i * 37 + c * 11 + p) & 0xFF for i in range(32))
    return out


def wav_seeds():
    return {
        "mono16.wav": wav(1, 16, tone(40, 1, 16)),
        "stereo8.wav": wav(2, 8, tone(30, 2, 8)),
        "mono24.wav": wav(1, 24, tone(20, 1, 24), extra=riff(b"LIST", b"INFOabc")),
        "stereo32.wav": wav(2, 32, tone(10, 2, 32)),
    }


def caf_aiff_seeds():
    be16 = bytes(b for i in range(0, 80, 2) for b in tone(40, 1, 16)[i:i + 2][::-1])
    return {
        "mono16.aiff": aiff(1, 16, be16),
        "stereo8.aiff": aiff(2, 8, bytes((b - 128) & 0xFF for b in tone(20, 2, 8))),
        "offset24.aiff": aiff(1, 24, bytes(range(30)), offset=4),
        "lpcm16be.caf": caf(b"lpcm", 0, 1, 1, 16, be16),
        "lpcm24le.caf": caf(b"lpcm", 2, 1, 2, 24, tone(10, 2, 24), data_size=-1),
        "lpcm8.caf": caf(b"lpcm", 4, 1, 1, 8, bytes(range(0, 256, 8))),
        "ima4-mono.caf": caf(b"ima4", 0, 64, 1, 0, ima_packets(1, 3)),
        "ima4-stereo.caf": caf(b"ima4", 0, 64, 2, 0, ima_packets(2, 2)),
    }


ENCODER = r"""
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <vorbis/vorbisenc.h>
int main(int argc, char** argv) {
    int channels = atoi(argv[1]), rate = atoi(argv[2]), frames = atoi(argv[3]);
    vorbis_info vi; vorbis_comment vc; vorbis_dsp_state vd; vorbis_block vb;
    ogg_stream_state os; ogg_page og; ogg_packet op, h1, h2, h3;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.0f)) return 1;
    vorbis_comment_init(&vc); vorbis_analysis_init(&vd, &vi); vorbis_block_init(&vd, &vb);
    ogg_stream_init(&os, 7);
    vorbis_analysis_headerout(&vd, &vc, &h1, &h2, &h3);
    ogg_stream_packetin(&os, &h1); ogg_stream_packetin(&os, &h2); ogg_stream_packetin(&os, &h3);
    while (ogg_stream_flush(&os, &og)) { fwrite(og.header, 1, og.header_len, stdout); fwrite(og.body, 1, og.body_len, stdout); }
    float** buffer = vorbis_analysis_buffer(&vd, frames);
    for (int i = 0; i < frames; i++)
        for (int c = 0; c < channels; c++) buffer[c][i] = 0.5f * sinf(6.2831853f * 440 * i / rate);
    vorbis_analysis_wrote(&vd, frames);
    vorbis_analysis_wrote(&vd, 0);
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
        vorbis_analysis(&vb, NULL); vorbis_bitrate_addblock(&vb);
        while (vorbis_bitrate_flushpacket(&vd, &op)) {
            ogg_stream_packetin(&os, &op);
            while (ogg_stream_pageout(&os, &og)) { fwrite(og.header, 1, og.header_len, stdout); fwrite(og.body, 1, og.body_len, stdout); }
        }
    }
    while (ogg_stream_flush(&os, &og)) { fwrite(og.header, 1, og.header_len, stdout); fwrite(og.body, 1, og.body_len, stdout); }
    return 0;
}
"""


def ogg_seeds():
    seeds = {}
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "encode.c")
        program = os.path.join(work, "encode")
        with open(source, "w") as f:
            f.write(ENCODER)
        subprocess.run(["cc", source, "-o", program, "-lvorbisenc", "-lvorbis", "-logg", "-lm"],
                       check=True)
        for name, arguments in {"mono-8k.ogg": ["1", "8000", "400"],
                                "stereo-11k.ogg": ["2", "11025", "300"]}.items():
            seeds[name] = subprocess.run([program] + arguments, check=True,
                                         capture_output=True).stdout
    return seeds


def write(folder, seeds):
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write(os.path.join(HERE, "corpus", "wav"), wav_seeds())
    write(os.path.join(HERE, "corpus", "caf_aiff"), caf_aiff_seeds())
    write(os.path.join(HERE, "corpus", "ogg"), ogg_seeds())
