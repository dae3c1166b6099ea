// gamefile_write.cpp - the compiled game file written: the image gzip-compressed, all or nothing.
#include "base/fileio.h"
#include "db/gamefile.h"

#include <zlib.h>

using namespace umb::base;

namespace umb::db {

WriteResult CompressGameImage(const std::vector<uint8_t>& image, std::vector<uint8_t>& out) {
    out.clear();
    if (image.size() > MaxGameImageSize)
        return WriteResult::Failed;  // larger than any image, and than one zlib call takes
    z_stream z{};
    // 15 window bits plus 16: a gzip header and trailer around the deflate data, as zlib's gzip
    // file functions write them, at the default level.
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return WriteResult::Failed;
    const uLong bound = deflateBound(&z, static_cast<uLong>(image.size()));
    out.resize(bound);
    // The input fits in one call (the largest image is about 9.5 MB) and so does the output,
    // which deflateBound sizes for the whole stream.
    z.next_in = const_cast<Bytef*>(image.data());
    z.avail_in = static_cast<uInt>(image.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    const uLong written = z.total_out;
    if (deflateEnd(&z) != Z_OK || rc != Z_STREAM_END) {
        out.clear();
        return WriteResult::Failed;
    }
    out.resize(written);
    return WriteResult::Ok;
}

WriteResult WriteGameFile(const GameDatabase& db, const char* path) {
    if (path == nullptr || *path == '\0') return WriteResult::Failed;
    std::vector<uint8_t> file;
    if (CompressGameImage(BuildGameImage(db), file) != WriteResult::Ok) return WriteResult::Failed;
    return WriteFileAtomically(path, file.data(), file.size());
}

}  // namespace umb::db
