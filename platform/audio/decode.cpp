#include "platform/audio/decode.h"

#include <sys/stat.h>
#include <vorbis/vorbisfile.h>

bool decodeOggVorbis(const std::string& path, DecodedAudio& out)
{
    // Only a regular file: a FIFO in its place would hold the caller on
    // the open.
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) {
        return false;
    }
    const vorbis_info* info = ov_info(&file, -1);
    bool ok = info && (info->channels == 1 || info->channels == 2) && info->rate > 0;
    const long links = ov_streams(&file);
    for (long link = 0; ok && link < links; ++link) {
        const vorbis_info* part = ov_info(&file, static_cast<int>(link));
        ok = part && part->channels == info->channels && part->rate == info->rate;
    }
    if (ok) {
        out.rate = static_cast<uint32_t>(info->rate);
        out.channels = static_cast<uint32_t>(info->channels);
        out.samples.clear();
        const ogg_int64_t total = ov_pcm_total(&file, -1);
        if (total > 0) {
            out.samples.reserve(static_cast<size_t>(total) * out.channels);
        }
        char buffer[16384];
        int section = 0;
        for (;;) {
            const long got = ov_read(&file, buffer, sizeof buffer, 0 /* little endian */, 2, 1, &section);
            if (got == OV_HOLE) {
                continue; // a gap in the data: carry on with what follows
            }
            if (got <= 0) {
                break;    // end of stream, or damage that decoding cannot pass
            }
            const auto* pcm = reinterpret_cast<const int16_t*>(buffer);
            out.samples.insert(out.samples.end(), pcm, pcm + got / 2);
        }
        // Whole frames only.
        out.samples.resize(out.samples.size() - out.samples.size() % out.channels);
    }
    ov_clear(&file);
    return ok;
}

bool readOggComments(const std::string& path, std::vector<std::string>& comments)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return false;
    comments.clear();
    if (const vorbis_comment* header = ov_comment(&file, 0)) {
        for (int i = 0; i < header->comments; ++i) {
            comments.emplace_back(header->user_comments[i], static_cast<size_t>(header->comment_lengths[i]));
        }
    }
    ov_clear(&file);
    return true;
}
