#pragma once

#include <ogg/ogg.h>
#include <theora/theora.h>
#include <vorbis/codec.h>

#include <cstdint>

// The demultiplexer's and both decoders' records, with what of them is initialised.
struct ZVideoCodecState {
    ogg_sync_state sync;
    ogg_page page;
    ogg_packet packet;
    ogg_stream_state theoraStream;
    ogg_stream_state vorbisStream;
    theora_info theoraInfo;
    theora_comment theoraComment;
    theora_state theora;
    vorbis_info vorbisInfo;
    vorbis_comment vorbisComment;
    vorbis_dsp_state vorbisDsp;
    vorbis_block vorbisBlock;
    // Position of the next sample of the sound track.
    int64_t granule = 0;

    bool syncReady = false;
    bool theoraStreamReady = false;
    bool vorbisStreamReady = false;
    bool theoraHeadersReady = false;
    bool vorbisHeadersReady = false;
    bool theoraReady = false;
    bool vorbisReady = false;

    // Frees what of the sound track's, resp. the picture's, records is initialised.
    void clearVorbis();
    void clearTheora();
};
