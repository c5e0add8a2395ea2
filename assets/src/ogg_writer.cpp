#include <vorbis/vorbisenc.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "audio.hpp"

namespace gx::audio {

namespace {

struct Encoder {
    vorbis_info vi{};
    vorbis_comment vc{};
    vorbis_dsp_state vd{};
    vorbis_block vb{};
    ogg_stream_state os{};
    bool dsp = false;
    Encoder() {
        vorbis_info_init(&vi);
        vorbis_comment_init(&vc);
    }
    ~Encoder() {
        if (dsp) {
            ogg_stream_clear(&os);
            vorbis_block_clear(&vb);
            vorbis_dsp_clear(&vd);
        }
        vorbis_comment_clear(&vc);
        vorbis_info_clear(&vi);
    }
};

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};

}  // namespace

void WriteOgg(const Sound& sound, const std::string& path, int serial, float quality) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) throw std::runtime_error(path + ": cannot open for writing");
    const int channels = sound.Channels();
    Encoder e;
    if (vorbis_encode_init_vbr(&e.vi, channels, kRate, quality) != 0)
        throw std::runtime_error(path + ": the Vorbis encoder refused its settings");
    vorbis_comment_add_tag(&e.vc, "ENCODER", "grappix-assetgen");
    vorbis_analysis_init(&e.vd, &e.vi);
    vorbis_block_init(&e.vd, &e.vb);
    ogg_stream_init(&e.os, serial);
    e.dsp = true;

    auto writePage = [&](const ogg_page& og) {
        if (std::fwrite(og.header, 1, og.header_len, file.get()) != static_cast<size_t>(og.header_len) ||
            std::fwrite(og.body, 1, og.body_len, file.get()) != static_cast<size_t>(og.body_len))
            throw std::runtime_error(path + ": write failed (disk full?)");
    };

    ogg_packet header, comment, code;
    vorbis_analysis_headerout(&e.vd, &e.vc, &header, &comment, &code);
    ogg_stream_packetin(&e.os, &header);
    ogg_stream_packetin(&e.os, &comment);
    ogg_stream_packetin(&e.os, &code);
    ogg_page og;
    while (ogg_stream_flush(&e.os, &og) != 0) writePage(og);

    const size_t total = sound.Frames();
    size_t pos = 0;
    bool eos = false;
    while (!eos) {
        const size_t chunk = 4096;
        size_t n = total - pos < chunk ? total - pos : chunk;
        if (n == 0) {
            vorbis_analysis_wrote(&e.vd, 0);
        } else {
            float** buf = vorbis_analysis_buffer(&e.vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i) {
                buf[0][i] = sound.left[pos + i];
                if (channels == 2) buf[1][i] = sound.right[pos + i];
            }
            vorbis_analysis_wrote(&e.vd, static_cast<int>(n));
            pos += n;
        }
        while (vorbis_analysis_blockout(&e.vd, &e.vb) == 1) {
            vorbis_analysis(&e.vb, nullptr);
            vorbis_bitrate_addblock(&e.vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&e.vd, &op) == 1) {
                ogg_stream_packetin(&e.os, &op);
                while (!eos && ogg_stream_pageout(&e.os, &og) != 0) {
                    writePage(og);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
    }
    if (std::fflush(file.get()) != 0) throw std::runtime_error(path + ": write failed");
}

}  // namespace gx::audio
