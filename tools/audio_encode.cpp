#include "tools/audio_encode.h"

#include <lame/lame.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/failure.h"

namespace {

constexpr int kOggSerial = 0x464C4D33; // "FLM3": a fixed serial keeps the stream identical

[[noreturn]] void encoderFailure(const char* what) {
    fatalError("ERROR", std::string("The ") + what + " encoder failed !");
}

void appendPage(std::vector<uint8_t>& out, const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

} // namespace

std::vector<uint8_t> encodeOggVorbis(const StereoBuffer& sound, float quality) {
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 2, sound.rate, quality) != 0) encoderFailure("Vorbis");
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "TITLE", "FILM 03 - Intro");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, kOggSerial);

    std::vector<uint8_t> out;
    ogg_packet header, commentPacket, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) appendPage(out, page);

    const size_t chunk = 4096;
    size_t done = 0;
    bool finished = false;
    while (!finished) {
        const size_t count = std::min(chunk, sound.frames() - done);
        if (count == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, int(count));
            for (size_t i = 0; i < count; ++i) {
                buffer[0][i] = sound.left[done + i];
                buffer[1][i] = sound.right[done + i];
            }
            vorbis_analysis_wrote(&dsp, int(count));
            done += count;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    appendPage(out, page);
                    if (ogg_page_eos(&page)) finished = true;
                }
            }
        }
        if (count == 0) finished = true;
    }
    while (ogg_stream_flush(&stream, &page) != 0) appendPage(out, page);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

std::vector<uint8_t> encodeMp3(const StereoBuffer& sound, int kilobits) {
    lame_global_flags* flags = lame_init();
    if (!flags) encoderFailure("MP3");
    lame_set_num_channels(flags, 2);
    lame_set_in_samplerate(flags, sound.rate);
    lame_set_out_samplerate(flags, sound.rate);
    lame_set_brate(flags, kilobits);
    lame_set_VBR(flags, vbr_off);
    lame_set_quality(flags, 2);
    lame_set_bWriteVbrTag(flags, 0);
    lame_set_write_id3tag_automatic(flags, 0);
    if (lame_init_params(flags) < 0) encoderFailure("MP3");

    std::vector<uint8_t> out;
    const size_t chunk = 8192;
    std::vector<unsigned char> buffer(chunk * 5 / 4 + 7200);
    for (size_t done = 0; done < sound.frames(); done += chunk) {
        const int count = int(std::min(chunk, sound.frames() - done));
        const int written = lame_encode_buffer_ieee_float(
            flags, &sound.left[done], &sound.right[done], count, buffer.data(), int(buffer.size()));
        if (written < 0) encoderFailure("MP3");
        out.insert(out.end(), buffer.begin(), buffer.begin() + written);
    }
    const int written = lame_encode_flush(flags, buffer.data(), int(buffer.size()));
    if (written < 0) encoderFailure("MP3");
    out.insert(out.end(), buffer.begin(), buffer.begin() + written);
    lame_close(flags);
    return out;
}
