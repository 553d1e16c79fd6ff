#include "ZVideoCodecState.h"

void ZVideoCodecState::clearVorbis() {
    if (vorbisReady) {
        vorbis_block_clear(&vorbisBlock);
        vorbis_dsp_clear(&vorbisDsp);
    }
    if (vorbisHeadersReady) {
        vorbis_comment_clear(&vorbisComment);
        vorbis_info_clear(&vorbisInfo);
    }
    if (vorbisStreamReady) ogg_stream_clear(&vorbisStream);
    vorbisReady = vorbisHeadersReady = vorbisStreamReady = false;
}

void ZVideoCodecState::clearTheora() {
    if (theoraReady) theora_clear(&theora);
    if (theoraHeadersReady) {
        theora_comment_clear(&theoraComment);
        theora_info_clear(&theoraInfo);
    }
    if (theoraStreamReady) ogg_stream_clear(&theoraStream);
    theoraReady = theoraHeadersReady = theoraStreamReady = false;
}
