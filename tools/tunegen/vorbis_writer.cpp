#include "vorbis_writer.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>

namespace {

bool writePages(std::FILE* file, ogg_stream_state& stream, bool flush)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
        if (std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), file) !=
                static_cast<size_t>(page.header_len) ||
            std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), file) != static_cast<size_t>(page.body_len)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool writeOggVorbis(const std::string& path, uint32_t rate, uint32_t channels, uint64_t frames,
                    const std::function<float(uint64_t, uint32_t)>& sample, float quality,
                    const std::vector<std::string>& comments)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    return file && writeOggVorbis(file, rate, channels, frames, sample, quality, comments);
}

bool writeOggVorbis(std::FILE* file, uint32_t rate, uint32_t channels, uint64_t frames,
                    const std::function<float(uint64_t, uint32_t)>& sample, float quality,
                    const std::vector<std::string>& comments)
{

    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, static_cast<long>(channels), static_cast<long>(rate), quality) != 0) {
        vorbis_info_clear(&info);
        std::fclose(file);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    for (const std::string& line : comments) vorbis_comment_add(&comment, line.c_str());
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x4f525654);

    ogg_packet header, commentPacket, codePacket;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codePacket);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codePacket);
    bool ok = writePages(file, stream, true);

    const uint64_t chunk = 4096;
    for (uint64_t done = 0; ok && done <= frames;) {
        const uint64_t count = frames - done < chunk ? frames - done : chunk;
        if (count > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            for (uint32_t c = 0; c < channels; ++c) {
                for (uint64_t i = 0; i < count; ++i) buffer[c][i] = sample(done + i, c);
            }
        }
        vorbis_analysis_wrote(&dsp, static_cast<int>(count)); // 0 marks the end
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                ok = ok && writePages(file, stream, false);
            }
        }
        if (count == 0) break;
        done += count;
    }
    ok = ok && writePages(file, stream, true);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return std::fclose(file) == 0 && ok;
}

bool writeSilentOgg(const std::string& path, uint32_t rate, uint32_t channels, double seconds)
{
    return writeOggVorbis(path, rate, channels, static_cast<uint64_t>(seconds * rate),
                          [](uint64_t, uint32_t) { return 0.0f; }, -0.1f);
}
