#include "sound/encoders.h"

#include <lame/lame.h>
#include <vorbis/vorbisenc.h>

#include <cstdlib>
#include <cstring>

namespace {

void appendPage(std::vector<uint8_t>& out, const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

struct VorbisEncoder {
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
};

void drainVorbis(VorbisEncoder& e, std::vector<uint8_t>& out) {
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&e.dsp, &e.block) == 1) {
        vorbis_analysis(&e.block, nullptr);
        vorbis_bitrate_addblock(&e.block);
        while (vorbis_bitrate_flushpacket(&e.dsp, &packet) == 1) {
            ogg_stream_packetin(&e.stream, &packet);
            while (ogg_stream_pageout(&e.stream, &page) != 0) appendPage(out, page);
        }
    }
}

} // namespace

std::vector<uint8_t> encodeVorbis(const std::vector<int16_t>& pcm, int channels, int rate,
                                  float quality) {
    std::vector<uint8_t> out;
    VorbisEncoder e;
    vorbis_info_init(&e.info);
    if (vorbis_encode_init_vbr(&e.info, channels, rate, quality) != 0) {
        vorbis_info_clear(&e.info);
        return out;
    }
    vorbis_comment_init(&e.comment);
    vorbis_analysis_init(&e.dsp, &e.info);
    vorbis_block_init(&e.dsp, &e.block);
    ogg_stream_init(&e.stream, 1);

    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&e.dsp, &e.comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&e.stream, &header);
    ogg_stream_packetin(&e.stream, &commentHeader);
    ogg_stream_packetin(&e.stream, &codeHeader);
    ogg_page page;
    while (ogg_stream_flush(&e.stream, &page) != 0) appendPage(out, page);

    const size_t kBlock = 4096;
    size_t frames = pcm.size() / size_t(channels);
    for (size_t start = 0; start < frames; start += kBlock) {
        size_t count = frames - start < kBlock ? frames - start : kBlock;
        float** buffer = vorbis_analysis_buffer(&e.dsp, int(count));
        for (size_t i = 0; i < count; ++i)
            for (int c = 0; c < channels; ++c)
                buffer[c][i] = pcm[(start + i) * size_t(channels) + size_t(c)] / 32768.0f;
        vorbis_analysis_wrote(&e.dsp, int(count));
        drainVorbis(e, out);
    }
    vorbis_analysis_wrote(&e.dsp, 0);
    drainVorbis(e, out);
    while (ogg_stream_flush(&e.stream, &page) != 0) appendPage(out, page);

    ogg_stream_clear(&e.stream);
    vorbis_block_clear(&e.block);
    vorbis_dsp_clear(&e.dsp);
    vorbis_comment_clear(&e.comment);
    vorbis_info_clear(&e.info);
    return out;
}

std::vector<uint8_t> encodeMp3(const std::vector<int16_t>& pcm, int channels, int rate, int kbps) {
    std::vector<uint8_t> out;
    lame_global_flags* lame = lame_init();
    if (lame == nullptr) return out;
    lame_set_num_channels(lame, channels);
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_brate(lame, kbps);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_bWriteVbrTag(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return out;
    }
    int frames = int(pcm.size() / size_t(channels));
    std::vector<int16_t> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        left[size_t(i)] = pcm[size_t(i * channels)];
        right[size_t(i)] = pcm[size_t(i * channels + channels - 1)];
    }
    std::vector<unsigned char> buffer(size_t(frames) * 5 / 4 + 7200 + 16384);
    int bytes = lame_encode_buffer(lame, left.data(), right.data(), frames, buffer.data(),
                                   int(buffer.size()));
    if (bytes >= 0) {
        out.assign(buffer.begin(), buffer.begin() + bytes);
        bytes = lame_encode_flush(lame, buffer.data(), int(buffer.size()));
        if (bytes >= 0) out.insert(out.end(), buffer.begin(), buffer.begin() + bytes);
    }
    // The first frame was kept free for the Info header with the frame count.
    unsigned char tag[4096];
    size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (bytes < 0)
        out.clear();
    else if (tagSize > 0 && tagSize <= out.size())
        std::memcpy(out.data(), tag, tagSize);
    lame_close(lame);
    return out;
}
